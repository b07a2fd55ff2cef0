// Shared helpers of the KF tests: log capture, loading from text, building binary images.
#pragma once

#include "support/log_capture.h"

#include "core/KeError.h"
#include "kf/KF_Channel.h"
#include "kf/KF_Document.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kftest {

// Captures every log line of the error reporter for the lifetime of the fixture.
class KfTest : public ::testing::Test {
protected:
    void SetUp() override { capture.install(); }

    KF_Document* load(const std::string& bytes) { return KF_LoadMemory(bytes.data(), bytes.size()); }

    kolmtest::LogCapture capture;
    std::vector<std::string>& log = capture.lines;
};

// Owns a loaded document.
struct Doc {
    explicit Doc(KF_Document* d = nullptr) : doc(d) {}
    ~Doc() { KF_Free(doc); }
    Doc(const Doc&) = delete;
    Doc& operator=(const Doc&) = delete;
    KF_Node* root() const { return KF_Root(doc); }
    KF_Document* doc;
};

inline std::string be32(uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
inline std::string beFloat(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return be32(u);
}
inline std::string chunk(const char* id, const std::string& content) {
    return std::string(id, 4) + be32(uint32_t(content.size())) + content;
}
inline std::string nameField(const std::string& name) {
    return name + std::string(4 - (name.size() & 3), '\0');
}
inline std::string form(const std::string& chunks) {
    return "FORM" + be32(uint32_t(chunks.size() + 4)) + "KLMF" + chunks;
}

// Float words of a node's value data (count words).
inline std::vector<uint32_t> words(const void* data, size_t n) {
    std::vector<uint32_t> w(n);
    if (n) std::memcpy(w.data(), data, n * 4);
    return w;
}
inline uint32_t fbits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

}  // namespace kftest
