// Captures what the error reporter logs and shows while it lives: log lines (each as the sink
// gets it, with its trailing line break), message-box texts, and both in order as one text.
// The reporter is reset when the capture starts and when it ends.
#pragma once

#include "core/KeError.h"

#include <string>
#include <vector>

namespace kolmtest {

class LogCapture {
public:
    LogCapture() { install(); }
    ~LogCapture() { kolm::keResetErrorReporter(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Resets the reporter and routes its lines and boxes here again (after a test reset it).
    void install() {
        kolm::keResetErrorReporter();
        kolm::keSetLogSink(&LogCapture::onLine, this);
        kolm::keSetMessageBoxHandler(&LogCapture::onBox, this);
    }
    void clear() {
        lines.clear();
        boxes.clear();
        text.clear();
    }
    // Whether any captured line contains `part`.
    bool contains(const std::string& part) const {
        for (const std::string& line : lines)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }

    std::vector<std::string> lines;
    std::vector<std::string> boxes;
    std::string text;  // lines as they came, boxes as "[box] <text>\n"

private:
    static void onLine(const char* line, void* user) {
        auto* self = static_cast<LogCapture*>(user);
        self->lines.push_back(line);
        self->text += line;
    }
    static void onBox(const char* box, void* user) {
        auto* self = static_cast<LogCapture*>(user);
        self->boxes.push_back(box);
        self->text += std::string("[box] ") + box + "\n";
    }
};

}  // namespace kolmtest
