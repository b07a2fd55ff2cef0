// The post chain's rules on a recorder in place of the GPU: which glow levels run with which
// weights and radii, the order of the passes, and the light streaks' parameters.
#include <gtest/gtest.h>

#include "render/CKeScreenQuadAligned.h"
#include "render/KePostRules.h"

#include <cmath>
#include <string>
#include <vector>

using namespace kolm;

namespace {

const char* const kNames[KE_POST_TARGET_COUNT] = {"scene", "src", "H0", "H1", "Q0", "Q1",
                                                  "E0",    "E1",  "S0", "S1", "T0", "T1"};

struct Recorder : IKePostPasses {
    std::vector<std::string> ops;
    std::vector<KeStreakPass> streaks;
    KeStreakSource source{};

    static std::string num(float v) {
        char b[32];
        std::snprintf(b, sizeof b, "%g", v);
        return b;
    }
    void alphaMul(KePostTarget d, KePostTarget s) override { ops.push_back(std::string("mask ") + kNames[d] + "<" + kNames[s]); }
    void downSample(KePostTarget d, KePostTarget s) override {
        ops.push_back(std::string("down ") + kNames[d] + "<" + kNames[s]);
    }
    void blur(KePostTarget d, KePostTarget s, bool h, float r, float i) override {
        ops.push_back(std::string(h ? "blurH " : "blurV ") + kNames[d] + "<" + kNames[s] + " r" + num(r) + " w" + num(i));
    }
    void compose(KePostTarget d, KePostTarget s, float i) override {
        ops.push_back(std::string("add ") + kNames[d] + "<" + kNames[s] + " x" + num(i));
    }
    void streakSource(KePostTarget d, KePostTarget s, const KeStreakSource& v) override {
        source = v;
        ops.push_back(std::string("streaksrc ") + kNames[d] + "<" + kNames[s]);
    }
    void streakPass(KePostTarget d, KePostTarget s, const KeStreakPass& v) override {
        streaks.push_back(v);
        ops.push_back(std::string("streak ") + kNames[d] + "<" + kNames[s] + " n" + num(v.passn));
    }
};

std::vector<std::string> glow(float radius, bool streaks = false) {
    Recorder r;
    keRunGlow(r, radius, 0.75f, streaks, LightStreakSettings());
    return r.ops;
}

}  // namespace

TEST(PostRules, GlowLevelWeightsFollowTheRadius) {
    struct Case {
        float radius, d, w1, w2, w3;
    } cases[] = {
        {16, 2, 0, 0, 0},      // f = 1: half and quarter only
        {24, 3, 0.5f, 0, 0},   // f = 1.5: the eighth level at 0.5
        {32, 4, 1, 0.5f, 0},   // f = 2
        {48, 6, 1, 1, 1},      // f = 3: every level at full weight
        {100, 12.5f, 1, 1, 1}, // weights clamp at 1
        {0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const KeGlowLevels l = keGlowLevels(c.radius);
        EXPECT_FLOAT_EQ(l.d, c.d) << c.radius;
        EXPECT_FLOAT_EQ(l.w1, c.w1) << c.radius;
        EXPECT_FLOAT_EQ(l.w2, c.w2) << c.radius;
        EXPECT_FLOAT_EQ(l.w3, c.w3) << c.radius;
    }
}

TEST(PostRules, RadiusSixteenRunsTheHalfAndQuarterLevelsOnly) {
    const std::vector<std::string> expected = {
        "mask H1<src",         "down Q1<H1",          "blurH Q0<Q1 r4 w1", "blurV Q1<Q0 r4 w1",
        "blurH H0<H1 r2 w1",   "blurV H1<H0 r2 w1",   "add H1<Q1 x1",      "add scene<H1 x0.75"};
    EXPECT_EQ(glow(16), expected);
}

TEST(PostRules, RadiusTwentyFourAddsTheEighthLevelAtHalfWeight) {
    const std::vector<std::string> expected = {
        "mask H1<src",         "down Q1<H1",          "down E1<Q1",          "blurH E0<E1 r12 w0.5",
        "blurV E1<E0 r12 w0.5", "blurH Q0<Q1 r6 w1",  "blurV Q1<Q0 r6 w1",   "blurH H0<H1 r3 w1",
        "blurV H1<H0 r3 w1",   "add Q1<E1 x1",        "add H1<Q1 x1",        "add scene<H1 x0.75"};
    EXPECT_EQ(glow(24), expected);
}

TEST(PostRules, RadiusFortyEightRunsEveryLevelSmallestFirst) {
    const std::vector<std::string> expected = {
        "mask H1<src",         "down Q1<H1",          "down E1<Q1",          "down S1<E1",
        "down T1<S1",          "blurH T0<T1 r96 w1",  "blurV T1<T0 r96 w1",  "blurH S0<S1 r48 w1",
        "blurV S1<S0 r48 w1",  "blurH E0<E1 r24 w1",  "blurV E1<E0 r24 w1",  "blurH Q0<Q1 r12 w1",
        "blurV Q1<Q0 r12 w1",  "blurH H0<H1 r6 w1",   "blurV H1<H0 r6 w1",   "add S1<T1 x1",
        "add E1<S1 x1",        "add Q1<E1 x1",        "add H1<Q1 x1",        "add scene<H1 x0.75"};
    EXPECT_EQ(glow(48), expected);
}

// Streaks run after the levels are composed into H1 and before H1 is added to the scene; they
// read the glow's source, ping-pong through the quarter pair and end in Q1.
TEST(PostRules, StreaksSitBetweenTheComposedGlowAndTheSceneAndEndInTheSecondScratch) {
    const std::vector<std::string> ops = glow(16, true);
    const std::vector<std::string> tail(ops.end() - 10, ops.end());
    const std::vector<std::string> expected = {
        "add H1<Q1 x1",        "streaksrc Q1<src",    "streak Q0<Q1 n1",     "streak Q1<Q0 n2",
        "streak Q0<Q1 n3",     "streak Q1<Q0 n1",     "streak Q0<Q1 n2",     "streak Q1<Q0 n3",
        "add H1<Q1 x1",        "add scene<H1 x0.75"};
    EXPECT_EQ(tail, expected);
}

TEST(PostRules, StreakParametersAtNinetyDegrees) {
    LightStreakSettings s;
    s.angle = 90;
    s.attenuation = 0.5f;
    s.colorize[0] = 0.25f;
    s.glowMin = 0.01f;
    s.colorKeyMatch = 0.995f;
    s.compose = 0.4f;
    Recorder r;
    keRunLightStreaks(r, KE_POST_HALF1, KE_POST_SOURCE, KE_POST_QUARTER0, KE_POST_QUARTER1, s);
    ASSERT_EQ(r.streaks.size(), 6u);
    const float passn[6] = {1, 2, 3, 1, 2, 3};
    for (unsigned k = 0; k < 6; ++k) {
        const float sign = k < 3 ? 1.0f : -1.0f;
        EXPECT_NEAR(r.streaks[k].direction[0], 0.0f, 1e-6f) << k;  // cos 90 degrees
        EXPECT_FLOAT_EQ(r.streaks[k].direction[1], sign) << k;
        EXPECT_FLOAT_EQ(r.streaks[k].passn, passn[k]) << k;
        EXPECT_FLOAT_EQ(r.streaks[k].attenuation, 0.95f) << k;
        EXPECT_FLOAT_EQ(r.streaks[k].colorize[0], 0.25f) << k;
    }
    // The limits are clamped to 0..1 around glowMin and colorKeyMatch.
    EXPECT_FLOAT_EQ(r.source.limitAlpha[0], 0.0f);
    EXPECT_FLOAT_EQ(r.source.limitAlpha[1], 0.03f);
    EXPECT_FLOAT_EQ(r.source.limitColor[0], 0.985f);
    EXPECT_FLOAT_EQ(r.source.limitColor[1], 1.0f);
    EXPECT_EQ(r.ops.back(), "add H1<Q1 x0.4");
}

// Every pixel of the aligned quad reads its texel's centre, and the quad covers the whole target.
TEST(PostRules, AlignedQuadCoversTheTargetWithHalfTexelCoordinates) {
    irr::video::S3DVertex v[4];
    CKeScreenQuadAligned::build(v, 1280, 720);
    const float u = 0.5f / 1280, t = 0.5f / 720;
    const float expected[4][4] = {{-1, 1, u, t}, {1, 1, 1 + u, t}, {1, -1, 1 + u, 1 + t}, {-1, -1, u, 1 + t}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(v[i].Pos.X, expected[i][0]) << i;
        EXPECT_FLOAT_EQ(v[i].Pos.Y, expected[i][1]) << i;
        EXPECT_FLOAT_EQ(v[i].TCoords.X, expected[i][2]) << i;
        EXPECT_FLOAT_EQ(v[i].TCoords.Y, expected[i][3]) << i;
    }
}
