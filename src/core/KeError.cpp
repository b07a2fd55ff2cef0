#include "core/KeError.h"

#include <cstdio>
#include <cstring>

namespace kolm {
namespace {

struct ReporterState {
    int threshold = KE_INFO;
    bool boxes = true;
    char message[KE_MESSAGE_CAPACITY] = {};
    bool pending = false;
    int pendingIndex = -1;
    char pendingText[KE_MESSAGE_CAPACITY] = {};  // at most 1023 characters + zero
    KeMessageBoxHandler boxHandler = nullptr;
    void* boxUser = nullptr;
    KeLogSink logSink = nullptr;
    void* logUser = nullptr;
    const char* boxTitle = "Kolm";  // of the box being shown
};

ReporterState g_state;

void formatInto(char* buffer, const char* format, va_list args) {
    // vsnprintf cuts at the capacity and always terminates.
    std::vsnprintf(buffer, KE_MESSAGE_CAPACITY, format, args);
}

void emitLogLine(const char* text) {
    if (g_state.logSink) {
        g_state.logSink(text, g_state.logUser);
        return;
    }
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void emitBox(const char* text, const char* title = "Kolm") {
    g_state.boxTitle = title ? title : "Kolm";
    if (g_state.boxHandler) {
        g_state.boxHandler(text, g_state.boxUser);
    } else {
        std::fprintf(stderr, "%s: %s\n", g_state.boxTitle, text);
        std::fflush(stderr);
    }
    g_state.boxTitle = "Kolm";
}

void logLineText(const char* text) {
    char line[KE_MESSAGE_CAPACITY];
    if (std::snprintf(line, sizeof line, "%s", text) < 0) return;
    emitLogLine(line);
}

}  // namespace

const char* keLevelName(int level) {
    switch (level) {
    case KE_DEBUG: return "DEBUG";
    case KE_INFO: return "INFO";
    case KE_WARN: return "WARN";
    case KE_ERROR: return "ERROR";
    case KE_NONE: return "NONE";
    default: return "???";
    }
}

void vprintMessage(unsigned flags, int argIndex, const char* format, va_list args) {
    formatInto(g_state.message, format, args);
    if (flags & KE_RECORD_ERROR) {
        g_state.pending = true;
        g_state.pendingIndex = argIndex;
        std::strncpy(g_state.pendingText, g_state.message, KE_MESSAGE_CAPACITY - 1);
        g_state.pendingText[KE_MESSAGE_CAPACITY - 1] = '\0';
    }
    const int level = static_cast<int>(flags & 0xFFFFu);
    if (level >= g_state.threshold) {
        char line[KE_MESSAGE_CAPACITY];
        // Cut to the buffer like every other message.
        if (std::snprintf(line, sizeof line, "%s : %s\n", keLevelName(level), g_state.message) < 0) return;
        logLineText(line);
    }
    if ((flags & KE_SHOW_BOX) && g_state.boxes) {
        emitBox(g_state.message);
    }
}

void printMessage(unsigned flags, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintMessage(flags, -1, format, args);
    va_end(args);
}

void reportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintMessage(KE_ERROR | KE_SHOW_BOX, -1, format, args);
    va_end(args);
}

void recordError(int argIndex, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintMessage(KE_ERROR | KE_RECORD_ERROR, argIndex, format, args);
    va_end(args);
}

void recordErrorBox(int argIndex, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintMessage(KE_ERROR | KE_RECORD_ERROR | KE_SHOW_BOX, argIndex, format, args);
    va_end(args);
}

void logLine(const char* format, ...) {
    char buffer[KE_MESSAGE_CAPACITY];
    va_list args;
    va_start(args, format);
    formatInto(buffer, format, args);
    va_end(args);
    logLineText(buffer);
}

void setLogThreshold(int level) { g_state.threshold = level; }
int getLogThreshold() { return g_state.threshold; }

void disableMessageBoxes() { g_state.boxes = false; }
bool messageBoxesEnabled() { return g_state.boxes; }

const char* takeLastError(int* argIndex) {
    if (!g_state.pending) {
        if (argIndex) *argIndex = -1;
        return nullptr;
    }
    if (argIndex) *argIndex = g_state.pendingIndex;
    return g_state.pendingText;
}

void clearLastError() { g_state.pending = false; }

void showMessageBox(const char* format, ...) {
    char buffer[KE_MESSAGE_CAPACITY];
    va_list args;
    va_start(args, format);
    formatInto(buffer, format, args);
    va_end(args);
    emitBox(buffer);
}

void showTitledMessageBox(const char* title, const char* format, ...) {
    char buffer[KE_MESSAGE_CAPACITY];
    va_list args;
    va_start(args, format);
    formatInto(buffer, format, args);
    va_end(args);
    emitBox(buffer, title);
}

const char* keMessageBoxTitle() { return g_state.boxTitle; }

void keSetMessageBoxHandler(KeMessageBoxHandler handler, void* user) {
    g_state.boxHandler = handler;
    g_state.boxUser = user;
}

void keSetLogSink(KeLogSink sink, void* user) {
    g_state.logSink = sink;
    g_state.logUser = user;
}

void keResetErrorReporter() { g_state = ReporterState{}; }

}  // namespace kolm
