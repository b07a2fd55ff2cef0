// The error reporter: the one place where failures and notable events are formatted, logged,
// remembered for the script host and shown to the user.
//
// Flag word: the low 16 bits are the level, the bits above choose recording and the box.
// Buffers are process-wide and not reentrant; use from the main thread only.
#pragma once

#include <cstdarg>
#include <string>

namespace kolm {

enum KeLogLevel : int {
    KE_DEBUG = 0,
    KE_INFO = 1,
    KE_WARN = 2,
    KE_ERROR = 3,
    KE_NONE = 4,
};

enum KeErrorFlags : unsigned {
    KE_RECORD_ERROR = 0x10000,  // remember as the pending last error (with an argument index)
    KE_SHOW_BOX = 0x20000,      // show in a message box when boxes are enabled
};

constexpr int KE_MESSAGE_CAPACITY = 1024;  // message buffers, terminating zero included

// Name printed in log lines for a level ("DEBUG" ... "NONE", "???" for anything else).
const char* keLevelName(int level);

// General logging with a flag word (level | KE_RECORD_ERROR | KE_SHOW_BOX).
void printMessage(unsigned flags, const char* format, ...) __attribute__((format(printf, 2, 3)));
void vprintMessage(unsigned flags, int argIndex, const char* format, va_list args);

// ERROR with a box: user-facing errors of the shell, the demo player and the viewers.
void reportError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// ERROR recorded with the index of the script argument at fault (-1: none in particular).
void recordError(int argIndex, const char* format, ...) __attribute__((format(printf, 2, 3)));
// ERROR recorded and shown.
void recordErrorBox(int argIndex, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Plain log line: no level, no flags, no record. Goes to standard output (flushed).
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

void setLogThreshold(int level);
int getLogThreshold();

// Turns message boxes off for the rest of the run.
void disableMessageBoxes();
bool messageBoxesEnabled();

// The pending last error: its text, or nullptr (index -1) when none is pending.
// Does not clear the pending flag.
const char* takeLastError(int* argIndex);
void clearLastError();

// The message box alone, titled "Kolm". Text is shown exactly as formatted.
void showMessageBox(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same under a title of its own (the watches' "File Operation Problem").
void showTitledMessageBox(const char* title, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The title of the box being handed to the box handler: "Kolm" unless showTitledMessageBox
// gave another. Box handlers read it while they run.
const char* keMessageBoxTitle();

// Where boxes and log lines go. The application installs the platform's message box; tests
// install their own sinks. With no box handler the text goes to standard error.
using KeMessageBoxHandler = void (*)(const char* text, void* user);
using KeLogSink = void (*)(const char* line, void* user);
void keSetMessageBoxHandler(KeMessageBoxHandler handler, void* user);
void keSetLogSink(KeLogSink sink, void* user);  // nullptr: standard output

// Back to the initial state (threshold INFO, boxes on, nothing pending, default sinks).
void keResetErrorReporter();

}  // namespace kolm
