// The GL layer's error checks and state guard, on the test display.
#include "support/gl_fixture.h"

#include "core/KeError.h"
#include "gl/KeGlCheck.h"
#include "gl/KeGlState.h"

#include <epoxy/gl.h>

#include <string>
#include <vector>

using namespace kolm;

namespace {

struct Log {
    std::vector<std::string> lines;
    static void sink(const char* line, void* user) { static_cast<Log*>(user)->lines.push_back(line); }
    std::string all() const {
        std::string s;
        for (const std::string& l : lines) s += l;
        return s;
    }
};

class GlChecks : public gltest::GlDeviceTest {
protected:
    void SetUp() override {
        gltest::GlDeviceTest::SetUp();
        if (IsSkipped()) return;
        keSetLogSink(&Log::sink, &log);
        keGlCheck("the test's start");
        log.lines.clear();
    }
    Log log;
};

TEST_F(GlChecks, ErrorsAreReportedWhereTheyAreFoundNeverDropped) {
    EXPECT_TRUE(keGlCheck("nothing"));
    EXPECT_TRUE(log.lines.empty()) << log.all();

    glEnable(0xFFFF);  // GL_INVALID_ENUM
    EXPECT_FALSE(keGlCheck("a bad enable"));
    EXPECT_EQ(log.all(), "ERROR : GL error 0x0500 (GL_INVALID_ENUM) in a bad enable\n");
    EXPECT_TRUE(keGlCheck("after the report")) << "each error is reported once";

    // Left by someone else before our work: a warning that names where it was found.
    log.lines.clear();
    glLineWidth(-1.0f);  // GL_INVALID_VALUE
    keGlCheckBefore("our upload");
    EXPECT_EQ(log.all(), "WARN : GL error 0x0501 (GL_INVALID_VALUE) pending before our upload\n");
    EXPECT_TRUE(keGlCheck("our upload"));
}

TEST_F(GlChecks, StateGuardPutsBackWhatTheLibraryCaches) {
    GLuint fbo = 0, tex = 0;
    glGenTextures(1, &tex);
    glGenFramebuffers(1, &fbo);
    glViewport(3, 4, 50, 60);
    glEnable(GL_SCISSOR_TEST);
    glActiveTexture(GL_TEXTURE2);
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    {
        KeGlStateGuard guard;
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, tex);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glViewport(0, 0, 1, 1);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(1, 1, 1, 1);
        GLint align = 0;
        glGetIntegerv(GL_PACK_ALIGNMENT, &align);
        EXPECT_EQ(align, 4);
    }
    GLint v[4] = {}, unit = 0, fb = -1, bound = -1;
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[0], 3);
    EXPECT_EQ(v[1], 4);
    EXPECT_EQ(v[2], 50);
    EXPECT_EQ(v[3], 60);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    EXPECT_EQ(unit, GL_TEXTURE2);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &fb);
    EXPECT_EQ(fb, 0);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_NE(bound, GLint(tex));
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[1], 0.5f);
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, gltest::kWidth, gltest::kHeight);
    glDeleteFramebuffers(1, &fbo);
    glDeleteTextures(1, &tex);
    EXPECT_TRUE(keGlCheck("the guard test")) << log.all();
}

}  // namespace
