#include "core/KeError.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kolm;

namespace {


class ReporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        cap.install();
    }
    kolmtest::LogCapture cap;
};

struct Case {
    const char* name;
    int threshold;
    bool userlog;  // boxes disabled
    unsigned flags;
    bool logged;
    bool boxed;
    bool recorded;
};

TEST_F(ReporterTest, ThresholdAndFlagsDecideLogBoxAndRecord) {
    const Case cases[] = {
        {"debug never at initial threshold", 1, false, KE_DEBUG, false, false, false},
        {"info at initial threshold", 1, false, KE_INFO, true, false, false},
        {"error with box", 1, false, KE_ERROR | KE_SHOW_BOX, true, true, false},
        {"script mode logs nothing", 4, true, KE_ERROR | KE_RECORD_ERROR, false, false, true},
        {"script mode warn", 4, true, KE_WARN, false, false, false},
        {"userlog: error logged, no box", 2, true, KE_ERROR | KE_SHOW_BOX, true, false, false},
        {"userlog: info not logged", 2, true, KE_INFO, false, false, false},
        {"record and box", 1, false, KE_ERROR | KE_RECORD_ERROR | KE_SHOW_BOX, true, true, true},
        {"NONE level at threshold 4 is logged", 4, false, KE_NONE, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        setLogThreshold(c.threshold);
        if (c.userlog) disableMessageBoxes();
        printMessage(c.flags, "value %d", 7);
        EXPECT_EQ(cap.lines.size(), c.logged ? 1u : 0u);
        EXPECT_EQ(cap.boxes.size(), c.boxed ? 1u : 0u);
        int index = 99;
        const char* last = takeLastError(&index);
        EXPECT_EQ(last != nullptr, c.recorded);
        if (c.recorded) {
            EXPECT_STREQ(last, "value 7");
            EXPECT_EQ(index, -1);
        } else {
            EXPECT_EQ(index, -1);
        }
        if (c.logged) {
            EXPECT_EQ(cap.lines[0], std::string(keLevelName(static_cast<int>(c.flags & 0xFFFF))) + " : value 7\n");
        }
        cap.clear();
    }
}

TEST_F(ReporterTest, LevelNames) {
    EXPECT_STREQ(keLevelName(0), "DEBUG");
    EXPECT_STREQ(keLevelName(3), "ERROR");
    EXPECT_STREQ(keLevelName(4), "NONE");
    EXPECT_STREQ(keLevelName(5), "???");
    EXPECT_STREQ(keLevelName(-1), "???");
}

TEST_F(ReporterTest, LongRecordedErrorIsCutAt1023AndLogLineAtBuffer) {
    std::string big(3000, 'x');
    recordError(2, "%s", big.c_str());
    int index = 0;
    const char* last = takeLastError(&index);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(std::string(last).size(), 1023u);
    EXPECT_EQ(index, 2);
    // The log line holds "ERROR : " plus the message, cut to the 1024-character buffer.
    ASSERT_EQ(cap.lines.size(), 1u);
    EXPECT_EQ(cap.lines[0].size(), 1023u);
    EXPECT_EQ(cap.lines[0].rfind("ERROR : xxx", 0), 0u);
}

TEST_F(ReporterTest, PendingErrorStaysUntilClearedAndIsReplaced) {
    recordError(1, "first");
    recordError(3, "second");
    int index = 0;
    EXPECT_STREQ(takeLastError(&index), "second");
    EXPECT_EQ(index, 3);
    EXPECT_STREQ(takeLastError(&index), "second");  // take does not clear
    clearLastError();
    EXPECT_EQ(takeLastError(&index), nullptr);
    EXPECT_EQ(index, -1);
}

TEST_F(ReporterTest, PercentInFileNameReachesTheBoxUnchanged) {
    reportError("File format of '%s' is not supported", "100%s done.txt");
    ASSERT_EQ(cap.boxes.size(), 1u);
    EXPECT_EQ(cap.boxes[0], "File format of '100%s done.txt' is not supported");
    showMessageBox("%s", "50% off");
    EXPECT_EQ(cap.boxes[1], "50% off");
}

}  // namespace
