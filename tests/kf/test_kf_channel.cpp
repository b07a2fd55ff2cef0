// Channels: sample lookup, splitting, linear interpolation and the rotation blend.
#include "kf_test_util.h"

#include <cmath>
#include <limits>

using namespace kftest;

namespace {

using ChannelTest = KfTest;

constexpr float kPi = 3.14159265f;

struct LerpCase {
    const char* channel;  // FP_C value text
    float frame;
    float expect;
};

TEST_F(ChannelTest, ScalarLerpHoldsTheEndsAndInterpolatesBetween) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const LerpCase cases[] = {
        {"RUN 100 2.5", -10, 2.5f},
        {"RUN 100 2.5", 1000, 2.5f},
        {"RUN 100 2.5", 37.3f, 2.5f},
        {"DAT 2 0 10", 0.25f, 2.5f},
        {"DAT 2 0 10", 1, 10},
        {"DAT 2 0 10", -1, 0},
        {"DAT 2 0 10", nan, 0},
        {"DAT 2 0 10", inf, 10},
        {"DAT 2 0 10", -inf, 0},
        {"DAT 2 0 10", 3e9f, 10},
        {"DAT 2 0 10", 1e38f, 10},
        {"DAT 6 0 1 2 3 4 5", 3.0f, 3},
        {"DAT 6 0 1 2 3 4 5", 3.5f, 3.5f},
        {"RUN 3 1 DAT 2 4 6 RUN 2 9", 2.5f, 2.5f},   // across a block boundary
        {"RUN 3 1 DAT 2 4 6 RUN 2 9", 4.5f, 7.5f},
        {"RUN 0 5 DAT 1 3 RUN 0 8 RUN 2 7", 0.5f, 5},  // empty blocks are skipped
        {"RUN 0 5 DAT 1 3 RUN 0 8 RUN 2 7", -2, 3},
        {"RUN 0 5", 3, 0},                            // no samples
        {"RUN 1 4", 0.5f, 4},                         // one sample
    };
    for (const LerpCase& c : cases) {
        SCOPED_TRACE(std::string(c.channel) + " at " + std::to_string(c.frame));
        Doc d(load(std::string("c FP_C ") + c.channel + "\n"));
        ASSERT_TRUE(d.doc);
        EXPECT_FLOAT_EQ(KF_FP_Lerp(KF_Find(d.root(), "c"), c.frame), c.expect);
    }
    EXPECT_TRUE(log.empty());
}

TEST_F(ChannelTest, SplitClampsAndWritesTheFrameBack) {
    Doc d(load("c FP_C DAT 4 10 20 30 40\ne FP_C RUN 0 1\n"));
    ASSERT_TRUE(d.doc);
    const KF_Node* c = KF_Find(d.root(), "c");
    struct {
        float in, out;
        int32_t i;
        float lo, hi;
        int clamped;
    } cases[] = {
        {-3, 0, 0, 10, 10, 1}, {0, 0, 0, 10, 10, 1}, {1.25f, 1.25f, 1, 20, 30, 0}, {2.99f, 2.99f, 2, 30, 40, 0},
        {3, 3, 3, 40, 40, 1},  {7, 3, 3, 40, 40, 1},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.in);
        float f = k.in;
        const KF_Split s = KF_ChannelSplit(c->b, c->data, &f);
        EXPECT_EQ(f, k.out);
        EXPECT_EQ(s.i, k.i);
        EXPECT_EQ(s.lo, k.lo);
        EXPECT_EQ(s.hi, k.hi);
        EXPECT_EQ(s.clamped, k.clamped);
    }
    const KF_Node* e = KF_Find(d.root(), "e");
    float f = 5;
    const KF_Split s = KF_ChannelSplit(e->b, e->data, &f);
    EXPECT_EQ(s.clamped, 1);
    EXPECT_EQ(s.lo, 0.0f);
    EXPECT_EQ(f, 0.0f);
}

TEST_F(ChannelTest, SampleContinuesFromItsCursor) {
    Doc d(load("c FP_C RUN 2 1 DAT 3 5 6 7 RUN 4 9\n"));
    const KF_Node* c = KF_Find(d.root(), "c");
    KF_Cursor cursor = {static_cast<const uint32_t*>(c->data), 0};
    const float expect[] = {1, 1, 5, 6, 7, 9, 9, 9, 9};
    for (uint32_t i = 0; i < 9; ++i) EXPECT_EQ(KF_ChannelSample(c->data, i, &cursor), expect[i]) << i;
    EXPECT_EQ(cursor.first, 5u);
    EXPECT_EQ(cursor.block, static_cast<const uint32_t*>(c->data) + 8);
}

TEST_F(ChannelTest, VectorLerpAndShapesThatAreRefused) {
    Doc d(load("k FP 1 2 3\n"
               "two FP_C [\nDAT 2 0 10\nRUN 2 5\n]\n"
               "three FP_C [\nDAT 2 0 10\nDAT 2 0 -10\nDAT 2 1 1\n]\n"
               "uneven FP_C [\nDAT 5 0 1 2 3 4\nRUN 1 7\nDAT 3 0 2 4\n]\n"
               "fparr FP [\n1\n2\n3\n]\n"));
    ASSERT_TRUE(d.doc);
    auto n = [&](const char* name) { return KF_Find(d.root(), name); };
    const KF_FP2 two = KF_FP2_Lerp(n("two"), 0.5f);
    EXPECT_FLOAT_EQ(two.x, 5);
    EXPECT_FLOAT_EQ(two.y, 5);
    const KF_FP3 k = KF_FP3_Lerp(n("k"), 9);
    EXPECT_EQ(k.z, 3);
    const KF_FP3 three = KF_FP3_Lerp(n("three"), 0.25f);
    EXPECT_FLOAT_EQ(three.x, 2.5f);
    EXPECT_FLOAT_EQ(three.y, -2.5f);
    EXPECT_FLOAT_EQ(three.z, 1);
    // Each component is split at the caller's frame: a short component holds its last value
    // without holding the others back.
    const KF_FP3 uneven = KF_FP3_Lerp(n("uneven"), 3.5f);
    EXPECT_FLOAT_EQ(uneven.x, 3.5f);
    EXPECT_FLOAT_EQ(uneven.y, 7);
    EXPECT_FLOAT_EQ(uneven.z, 4);
    EXPECT_TRUE(log.empty());

    struct Refused {
        int which;  // 1: FP_Lerp, 2: FP2_Lerp, 3: FP3_Lerp, 4: slerp
        const char* node;
        const char* message;
    } refused[] = {
        {1, "three", "KF_FP_Lerp not supported on array\n"},
        {2, "three", "KF_FP2_Lerp: unsupported value/valtype/array size\n"},
        {3, "two", "KF_FP3_Lerp: unsupported value/valtype/array size\n"},
        {3, "fparr", "KF_FP3_Lerp: unsupported value/valtype/array size\n"},
        {4, "two", "KF_FP3_Slerp_HPB_To_XYZ: unsupported value/valtype/array size\n"},
        {4, "missing", "KF_FP3_Slerp_HPB_To_XYZ: unsupported value/valtype/array size\n"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.node);
        log.clear();
        float sum = 0;
        if (r.which == 1) sum = KF_FP_Lerp(n(r.node), 0.5f);
        if (r.which == 2) sum = KF_FP2_Lerp(n(r.node), 0.5f).x + KF_FP2_Lerp(n(r.node), 0.5f).y;
        if (r.which == 3 || r.which == 4) {
            const KF_FP3 v = r.which == 3 ? KF_FP3_Lerp(n(r.node), 0.5f) : KF_FP3_Slerp_HPB_To_XYZ(n(r.node), 0.5f);
            sum = std::fabs(v.x) + std::fabs(v.y) + std::fabs(v.z);
        }
        EXPECT_EQ(sum, 0.0f);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log[0], r.message);
    }
}

// Rotation matrices for checking what the angles mean.
struct M3 {
    float m[3][3];
};
M3 mul(const M3& a, const M3& b) {
    M3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}
M3 rx(float a) { return M3{{{1, 0, 0}, {0, std::cos(a), -std::sin(a)}, {0, std::sin(a), std::cos(a)}}}; }
M3 ry(float a) { return M3{{{std::cos(a), 0, std::sin(a)}, {0, 1, 0}, {-std::sin(a), 0, std::cos(a)}}}; }
M3 rz(float a) { return M3{{{std::cos(a), -std::sin(a), 0}, {std::sin(a), std::cos(a), 0}, {0, 0, 1}}}; }
void expectSameRotation(const M3& a, const M3& b) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(a.m[i][j], b.m[i][j], 2e-5f) << i << "," << j;
}

TEST_F(ChannelTest, ConstantRotationTurnsHeadingPitchBankIntoXyz) {
    struct {
        float h, p, b;
        float x, y, z;
    } cases[] = {
        {0, 0, 0, 0, 0, 0},
        {0.5f, 0, 0, 0, 0.5f, 0},
        {0, 0.5f, 0, 0.5f, 0, 0},
        {0, 0, 0.5f, 0, 0, 0.5f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.h << " " << c.p << " " << c.b);
        char text[96];
        std::snprintf(text, sizeof text, "r FP %.9g %.9g %.9g\n", c.h, c.p, c.b);
        Doc d(load(text));
        const KF_FP3 e = KF_FP3_Slerp_HPB_To_XYZ(KF_Find(d.root(), "r"), 0);
        EXPECT_NEAR(e.x, c.x, 1e-6f);
        EXPECT_NEAR(e.y, c.y, 1e-6f);
        EXPECT_NEAR(e.z, c.z, 1e-6f);
    }
    // A general triple: Rz(z)·Ry(y)·Rx(x) equals Ry(h)·Rx(p)·Rz(b).
    const float h = 0.7f, p = -0.4f, b = 1.1f;
    Doc d(load("r FP 0.7 -0.4 1.1\n"));
    const KF_FP3 e = KF_FP3_Slerp_HPB_To_XYZ(KF_Find(d.root(), "r"), 0);
    expectSameRotation(mul(mul(rz(e.z), ry(e.y)), rx(e.x)), mul(mul(ry(h), rx(p)), rz(b)));
}

TEST_F(ChannelTest, SlerpTakesTheShortWayAndKeepsFullTurnsStill) {
    // Heading from 3 to -3 radians: the short way passes through pi, not through 0.
    Doc d(load("r FP_C [\nDAT 2 3 -3\nRUN 2 0\nRUN 2 0\n]\n"
               "turn FP_C [\nDAT 2 0 6.28318531\nRUN 2 0\nRUN 2 0\n]\n"
               "mix FP_C [\nDAT 2 0.2 0.9\nDAT 2 -0.3 0.4\nDAT 2 0.1 -0.6\n]\n"));
    ASSERT_TRUE(d.doc);
    const KF_FP3 mid = KF_FP3_Slerp_HPB_To_XYZ(KF_Find(d.root(), "r"), 0.5f);
    // Heading pi: Ry(pi), which the XYZ angles give as (pi, 0, pi) or (0, pi, 0) up to sign.
    expectSameRotation(mul(mul(rz(mid.z), ry(mid.y)), rx(mid.x)), ry(kPi));
    for (float f : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}) {
        SCOPED_TRACE(f);
        const KF_FP3 t = KF_FP3_Slerp_HPB_To_XYZ(KF_Find(d.root(), "turn"), f);
        expectSameRotation(mul(mul(rz(t.z), ry(t.y)), rx(t.x)), ry(0));
    }
    // Keys and the ends are met exactly; beyond the last key the last rotation holds.
    const KF_Node* mix = KF_Find(d.root(), "mix");
    const KF_FP3 k0 = KF_FP3_Slerp_HPB_To_XYZ(mix, 0);
    expectSameRotation(mul(mul(rz(k0.z), ry(k0.y)), rx(k0.x)), mul(mul(ry(0.2f), rx(-0.3f)), rz(0.1f)));
    const KF_FP3 k1 = KF_FP3_Slerp_HPB_To_XYZ(mix, 5);
    expectSameRotation(mul(mul(rz(k1.z), ry(k1.y)), rx(k1.x)), mul(mul(ry(0.9f), rx(0.4f)), rz(-0.6f)));
    EXPECT_TRUE(log.empty());
}

}  // namespace
