// The light pre-pass renderer's rules without a GPU: target sizes, the shadow-map pool's choice,
// the light-buffer and volumetric effect variants, light volumes and views, and the camera-effect
// ping-pong run on a recorder.
#include "render/KeLppRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace irr;
using namespace kolm;

namespace {

std::string macroText(const CKeMacro* m) {
    std::string s;
    for (; m->Name; ++m) s += std::string(m->Name) + " ";
    return s;
}

TEST(LppRules, TargetSizesFollowTheFullSizeAndItsReductions) {
    EXPECT_EQ(keLppFullSize(0, 0, {640, 480}), core::dimension2du(640, 480));
    EXPECT_EQ(keLppFullSize(320, 0, {640, 480}), core::dimension2du(640, 480));
    EXPECT_EQ(keLppFullSize(0, 180, {640, 480}), core::dimension2du(640, 480));
    EXPECT_EQ(keLppFullSize(320, 180, {640, 480}), core::dimension2du(320, 180));
    // Names, reductions and formats of the table.
    const struct {
        const char* name;
        u32 shift;
        bool r32f;
    } rows[] = {{"BackRTT[0]", 0, false},       {"DepthRTT", 0, true},           {"LightRTT", 0, false},
                {"HalfScreen[2]", 1, false},    {"QuarterScreen[1]", 2, false},   {"SixTeenthScreen[0]", 4, false},
                {"SixtyFourthScreen[1]", 6, false}, {"QuarterScreenR32F", 2, true}, {"EighthScreenR32F", 3, true}};
    for (const auto& row : rows) {
        bool found = false;
        for (const KeLppTargetInfo& info : kKeLppTargets)
            if (std::string(info.name) == row.name) {
                found = true;
                EXPECT_EQ(info.shift, row.shift) << row.name;
                EXPECT_EQ(info.r32f, row.r32f) << row.name;
            }
        EXPECT_TRUE(found) << row.name;
    }
}

TEST(LppRules, ShadowMapChoiceBySizeAndVolumetricHolders) {
    KeLppPoolSlot pool[4] = {{256, false}, {512, false}, {512, false}, {1024, false}};
    const struct {
        s32 requested;
        s32 index;
    } free[] = {{100, 0}, {256, 0}, {300, 0}, {511, 0}, {512, 1}, {700, 2}, {1024, 3}, {2000, 3}, {0, 0}, {-5, 0}};
    for (const auto& row : free) EXPECT_EQ(keLppChooseShadowMap(pool, 4, row.requested), row.index) << row.requested;

    // Two volumetric lights asking for 512: the second gets the other 512 map.
    pool[1].heldByVolumetric = true;
    EXPECT_EQ(keLppChooseShadowMap(pool, 4, 512), 2);
    // Small requests pass the held map over as well, to the next one that fits its rule.
    EXPECT_EQ(keLppChooseShadowMap(pool, 4, 100), 0);
    pool[0].heldByVolumetric = true;
    EXPECT_EQ(keLppChooseShadowMap(pool, 4, 100), 2);
    // Every map held: sizes alone decide, failing that the last map.
    for (KeLppPoolSlot& s : pool) s.heldByVolumetric = true;
    EXPECT_EQ(keLppChooseShadowMap(pool, 4, 512), 1);
    EXPECT_EQ(keLppChooseShadowMap(pool, 4, 4096), 3);
    EXPECT_EQ(keLppChooseShadowMap(pool, 0, 512), -1);
    EXPECT_EQ(keLppChooseShadowMap(nullptr, 4, 512), -1);
}

TEST(LppRules, LightEffectSlotsAndTheirMacros) {
    const struct {
        video::E_LIGHT_TYPE type;
        bool shadow;
        f32 fuzz;
        s32 slot;
        const char* macros;
    } rows[] = {
        {video::ELT_DIRECTIONAL, false, 0, 0, "USE_DISTANT "},
        {video::ELT_POINT, false, 0, 8, "USE_POINT "},
        {video::ELT_SPOT, false, 5, 16, "USE_SPOTLIGHT "},
        {video::ELT_SPOT, true, 0, 17, "USE_SPOTLIGHT USE_SHADOW USE_SH0 "},
        {video::ELT_SPOT, true, 0.99f, 17, "USE_SPOTLIGHT USE_SHADOW USE_SH0 "},
        {video::ELT_SPOT, true, 1, 18, "USE_SPOTLIGHT USE_SHADOW USE_SH1 "},
        {video::ELT_SPOT, true, 3.9f, 19, "USE_SPOTLIGHT USE_SHADOW USE_SH2 "},
        {video::ELT_SPOT, true, 16, 22, "USE_SPOTLIGHT USE_SHADOW USE_SH16 "},
        {video::ELT_SPOT, true, 31.9f, 22, "USE_SPOTLIGHT USE_SHADOW USE_SH16 "},
        {video::ELT_SPOT, true, 32, 23, "USE_SPOTLIGHT USE_SHADOW USE_SH32 "},
        {video::ELT_SPOT, true, 1000, 23, "USE_SPOTLIGHT USE_SHADOW USE_SH32 "},
        {video::ELT_DIRECTIONAL, true, 2, 3, "USE_DISTANT USE_SHADOW USE_SH2 "},
        // A point light with a shadow asks for a slot without an effect: it is never given a map.
        {video::ELT_POINT, true, 0, 9, ""},
        {video::ELT_COUNT, false, 0, -1, ""},
    };
    for (const auto& row : rows) {
        const s32 slot = keLppLightEffectSlot(row.type, row.shadow, row.fuzz);
        EXPECT_EQ(slot, row.slot) << row.type << " " << row.fuzz;
        if (slot < 0) continue;
        CKeMacro macros[5];
        keLppLightEffectMacros(u32(slot), macros);
        EXPECT_EQ(macroText(macros), row.macros) << slot;
    }
    CKeMacro out[5];
    EXPECT_EQ(keLppLightEffectMacros(24, out), 0u);
    EXPECT_EQ(out[0].Name, nullptr);
}

TEST(LppRules, VolumetricVariants) {
    const struct {
        s32 mode;
        bool shadow, image;
        s32 variant;
        const char* macros;
    } rows[] = {
        {0, true, true, -1, ""},
        {1, false, false, -1, ""},
        {1, false, true, 0, "USE_PROJIMAGE QUALITY_1 "},
        {1, true, false, 1, "USE_SHADOW QUALITY_1 "},
        {2, true, true, 5, "USE_SHADOW USE_PROJIMAGE QUALITY_2 "},
        {4, true, false, 10, "USE_SHADOW QUALITY_4 "},
        {9, true, true, 11, "USE_SHADOW USE_PROJIMAGE QUALITY_4 "},
    };
    for (const auto& row : rows) {
        const s32 v = keLppVolumetricVariant(row.mode, row.shadow, row.image);
        EXPECT_EQ(v, row.variant) << row.mode << row.shadow << row.image;
        if (v < 0) continue;
        CKeMacro macros[4];
        keLppVolumetricMacros(u32(v), macros);
        EXPECT_EQ(macroText(macros), row.macros);
    }
}

TEST(LppRules, SpotConesAndPointSpheres) {
    const KeLppSpotCone c = keLppSpotCone(30.0f, 10.0f);
    EXPECT_TRUE(c.fits);
    EXPECT_FLOAT_EQ(c.length, 11.5f);
    EXPECT_NEAR(c.base, std::tan(33.0 * M_PI / 180.0) * 11.5, 1e-4);
    EXPECT_FLOAT_EQ(keLppPointVolumeScale(1000.0f), 1150.0f);
    // Past 89 degrees after widening (81.8 degrees and up) the cone has no finite base: drawn
    // over the whole screen instead of vanishing.
    for (f32 outer : {81.0f, 81.9f, 85.0f, 90.0f, 120.0f, 0.0f}) {
        const KeLppSpotCone wide = keLppSpotCone(outer, 10.0f);
        EXPECT_EQ(wide.fits, outer > 0.0f && outer * 1.1f <= 89.0f) << outer;
        if (wide.fits) {
            EXPECT_TRUE(std::isfinite(wide.base) && wide.base > 0) << outer;
        }
    }
}

TEST(LppRules, LightViewsClampTheFieldOfViewAndChooseTheUpVector) {
    // A 90 degree cone gives 179 degrees, not 180: the projection stays finite.
    const KeLppLightView wide = keLppLightView(video::ELT_SPOT, {0, 5, 0}, {0, 0, 1}, 90.0f, 20.0f);
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(std::isfinite(wide.projection[i])) << i;
    EXPECT_GT(wide.projection[0], 0.0f);
    EXPECT_FLOAT_EQ(wide.farValue, 20.0f);
    EXPECT_FLOAT_EQ(wide.nearValue, 0.01f);
    EXPECT_FLOAT_EQ(keLppLightView(video::ELT_SPOT, {}, {0, 0, 1}, 30.0f, 9000.0f).farValue, 5000.0f);
    EXPECT_FLOAT_EQ(keLppLightView(video::ELT_POINT, {}, {0, 0, 1}, 30.0f, 20.0f).farValue, 5000.0f);
    EXPECT_FLOAT_EQ(keLppLightView(video::ELT_DIRECTIONAL, {}, {0, -1, 0}, 30.0f, 20.0f).farValue, 1.0f);

    // Straight down, nearly straight down (where x + z is not 0) and sideways.
    const struct {
        core::vector3df dir;
        core::vector3df up;
    } rows[] = {{{0, -1, 0}, {0, 0, 1}},     {{0.01f, -1, 0.02f}, {0, 0, 1}}, {{0, 1, 0}, {0, 0, 1}},
                {{0.1f, -1, 0}, {0, 1, 0}},  {{1, 0, 0}, {0, 1, 0}},         {{0, -1, -1}, {0, 1, 0}}};
    for (const auto& row : rows) {
        EXPECT_EQ(keLppLightUp(row.dir), row.up) << row.dir.X << "," << row.dir.Y << "," << row.dir.Z;
        // The view of a light looking down maps a point below it to the view's centre line.
        const KeLppLightView v = keLppLightView(video::ELT_SPOT, {0, 0, 0}, row.dir, 30.0f, 50.0f);
        core::vector3df below = core::vector3df(row.dir).normalize() * 10.0f;
        v.view.transformVect(below);
        EXPECT_NEAR(below.X, 0.0f, 1e-3f);
        EXPECT_NEAR(below.Y, 0.0f, 1e-3f);
        EXPECT_NEAR(below.Z, 10.0f, 1e-3f);
    }
}

TEST(LppRules, CameraEffectTags) {
    EXPECT_TRUE(keLppEffectRunsAt(nullptr, nullptr));
    EXPECT_TRUE(keLppEffectRunsAt("LightPost", "lightpost"));
    EXPECT_FALSE(keLppEffectRunsAt("lightpost", nullptr));
    EXPECT_FALSE(keLppEffectRunsAt(nullptr, "solidpost"));
    EXPECT_FALSE(keLppEffectRunsAt("prepost", "solidpost"));
}

// Records what a chain does; effect i succeeds when accepts[i].
class Recorder : public IKeLppChainRunner {
public:
    std::vector<bool> accepts;
    std::vector<std::string> log;
    bool applyEffect(u32 index, video::ITexture* dest, video::ITexture* src) override {
        log.push_back("fx" + std::to_string(index) + " " + name(src) + ">" + name(dest));
        return index < accepts.size() && accepts[index];
    }
    void copy(video::ITexture* dest, video::ITexture* src) override { log.push_back("copy " + name(src) + ">" + name(dest)); }
    void makeCurrent(video::ITexture* t) override { log.push_back("current " + name(t)); }
    static std::string name(video::ITexture* t) {
        return t == kTarget ? "T" : t == kSpare ? "S" : t == kBack0 ? "B0" : t == kBack1 ? "B1" : "?";
    }
    static video::ITexture* const kTarget;
    static video::ITexture* const kSpare;
    static video::ITexture* const kBack0;
    static video::ITexture* const kBack1;
};
video::ITexture* const Recorder::kTarget = reinterpret_cast<video::ITexture*>(0x10);
video::ITexture* const Recorder::kSpare = reinterpret_cast<video::ITexture*>(0x20);
video::ITexture* const Recorder::kBack0 = reinterpret_cast<video::ITexture*>(0x30);
video::ITexture* const Recorder::kBack1 = reinterpret_cast<video::ITexture*>(0x40);

std::string join(const std::vector<std::string>& v) {
    std::string s;
    for (const std::string& e : v) s += e + "; ";
    return s;
}

TEST(LppRules, CameraEffectPingPong) {
    const struct {
        std::vector<bool> accepts;
        bool copyBack;
        const char* log;
        const char* result;
    } rows[] = {
        {{}, true, "", "T"},
        {{true}, false, "fx0 T>S; current S; ", "S"},
        {{true}, true, "fx0 T>S; copy S>T; current T; ", "T"},
        {{true, true}, true, "fx0 T>S; fx1 S>T; current T; ", "T"},
        {{true, true, true}, false, "fx0 T>S; fx1 S>T; fx2 T>S; current S; ", "S"},
        // A skipped effect leaves the ping-pong where it was.
        {{true, false, true}, false, "fx0 T>S; fx1 S>T; fx2 S>T; current T; ", "T"},
        {{false, false}, true, "fx0 T>S; fx1 T>S; current T; ", "T"},
    };
    for (const auto& row : rows) {
        Recorder r;
        r.accepts = row.accepts;
        video::ITexture* result =
            keLppRunChain(r, u32(row.accepts.size()), Recorder::kTarget, Recorder::kSpare, row.copyBack);
        EXPECT_EQ(join(r.log), row.log) << row.accepts.size();
        EXPECT_EQ(Recorder::name(result), row.result);
    }
}

TEST(LppRules, TheSpareTargetNeverHoldsTheSceneColourOfAnotherChain) {
    using R = Recorder;
    // The light buffer's chain must not write into "BackRTT[0]", which already holds the
    // cleared scene colour that the solid pass draws over.
    EXPECT_EQ(keLppSpareTarget(R::kTarget, R::kBack0, R::kBack1), R::kBack1);
    EXPECT_EQ(keLppSpareTarget(R::kBack0, R::kBack0, R::kBack1), R::kBack1);
    EXPECT_EQ(keLppSpareTarget(R::kBack1, R::kBack0, R::kBack1), R::kBack0);
}

}  // namespace
