// Shader materials drawn on OpenGL (Xvfb + llvmpipe): the conventions effect files are written
// for, checked on pixels read back from the frame.
#include "support/gl_fixture.h"

#include "core/KeError.h"
#include "fx/CKeGPUProgrammingServices.h"
#include "core/KePtr.h"
#include "fx/CKeShaderMaterialRenderer.h"
#include "fx/KeShaderCacheName.h"
#include "gl/KeGlTexture.h"
#include "gl/KeScreenGrab.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace irr;
using namespace kolm;
namespace fs = std::filesystem;

namespace {

const std::string kShader = std::string(KOLM_TEST_DATA_DIR) + "/fx/gl/passthrough.hlsl";

// Sets the two constants of the test shader by name.
class Constants : public video::IShaderConstantSetCallBack {
public:
    core::matrix4 transform;
    float color[4] = {1, 0, 1, 1};
    void OnSetConstants(video::IMaterialRendererServices* s, s32) override {
        s->setVertexShaderConstant("mTransform", transform.pointer(), 16);
        s->setPixelShaderConstant("color", color, 4);
    }
};

struct Pixel {
    int r, g, b;
};

class ShaderGl : public ::testing::Test {
protected:
    // One window for the whole suite: opening and closing X windows back to back is slow and
    // has failed now and then on busy servers.
    static void SetUpTestSuite() { sGl = std::make_unique<gltest::GlDevice>(); }
    static void TearDownTestSuite() { sGl.reset(); }

    void SetUp() override {
        keResetErrorReporter();
        setLogThreshold(KE_WARN);
        gl = sGl.get();
        ASSERT_NE(gl->driver, nullptr) << "no OpenGL device (is DISPLAY set?)";
        services = new CKeGPUProgrammingServices(gl->device);
        callback = new Constants();
    }
    void TearDown() override {
        if (callback) callback->drop();
        if (services) services->drop();
        keResetErrorReporter();
    }

    s32 material(const char* vs, const char* ps, const std::string& file = kShader) {
        core::stringc error;
        s32 type = services->getShaderMaterial(file.c_str(), vs, video::EVST_VS_3_0, file.c_str(), ps,
                                               video::EPST_PS_3_0, callback, video::EMT_SOLID, 0, nullptr, &error);
        EXPECT_GE(type, 0) << error.c_str();
        return type;
    }

    // Draws with the material into the back buffer and reads the frame back (rows top first).
    std::vector<uint8_t> drawAndRead(const video::SMaterial& m, float x0 = -1, float y0 = -1, float x1 = 1,
                                     float y1 = 1) {
        gl->driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        gltest::drawQuad(gl->driver, m, x0, y0, x1, y1);
        std::vector<uint8_t> rgb(gl->width * gl->height * 3);
        EXPECT_TRUE(keReadBackBufferRGB(gl->width, gl->height, rgb.data()));
        gl->driver->endScene();
        return rgb;
    }
    Pixel at(const std::vector<uint8_t>& rgb, int x, int y) const {
        const uint8_t* p = &rgb[(y * gl->width + x) * 3];
        return {p[0], p[1], p[2]};
    }

    static std::unique_ptr<gltest::GlDevice> sGl;
    gltest::GlDevice* gl = nullptr;
    CKeGPUProgrammingServices* services = nullptr;
    Constants* callback = nullptr;
};

std::unique_ptr<gltest::GlDevice> ShaderGl::sGl;

video::SMaterial shaderMaterial(s32 type) {
    video::SMaterial m;
    m.MaterialType = static_cast<video::E_MATERIAL_TYPE>(type);
    m.Lighting = false;
    m.ZBuffer = video::ECFN_ALWAYS;
    return m;
}

// A 2x2 texture: top row red | green, bottom row blue | white (as an image is read, row 0 first).
video::ITexture* cornerTexture(video::IVideoDriver* driver, const char* name) {
    video::IImage* img = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(2, 2));
    img->setPixel(0, 0, video::SColor(255, 255, 0, 0));
    img->setPixel(1, 0, video::SColor(255, 0, 255, 0));
    img->setPixel(0, 1, video::SColor(255, 0, 0, 255));
    img->setPixel(1, 1, video::SColor(255, 255, 255, 255));
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
    video::ITexture* t = driver->addTexture(name, img);
    img->drop();
    return t;
}

void expectCorners(const std::vector<uint8_t>& rgb, int w, int h, const char* what) {
    auto px = [&](int x, int y) {
        const uint8_t* p = &rgb[(y * w + x) * 3];
        return (p[0] > 128) * 4 + (p[1] > 128) * 2 + (p[2] > 128);
    };
    EXPECT_EQ(px(2, 2), 4) << what << ": top-left should be red";
    EXPECT_EQ(px(w - 3, 2), 2) << what << ": top-right should be green";
    EXPECT_EQ(px(2, h - 3), 1) << what << ": bottom-left should be blue";
    EXPECT_EQ(px(w - 3, h - 3), 7) << what << ": bottom-right should be white";
}

}  // namespace

TEST_F(ShaderGl, ConstantColourFillsTheQuad) {
    const s32 type = material("vs_main", "ps_color");
    callback->color[0] = 1; callback->color[1] = 0.5f; callback->color[2] = 0; callback->color[3] = 1;
    auto rgb = drawAndRead(shaderMaterial(type));
    const Pixel p = at(rgb, 32, 32);
    EXPECT_EQ(p.r, 255);
    EXPECT_NEAR(p.g, 128, 1);
    EXPECT_EQ(p.b, 0);
}

TEST_F(ShaderGl, MatrixByNameTransformsAsRowVectorTimesMatrix) {
    // mul(v, M) with the library's matrix4 holding a translation by +1 in x: the quad covering
    // the left half of the screen moves to the right half.
    const s32 type = material("vs_transform", "ps_color");
    callback->transform.setTranslation(core::vector3df(1.0f, 0.0f, 0.0f));
    auto rgb = drawAndRead(shaderMaterial(type), -1, -1, 0, 1);
    EXPECT_EQ(at(rgb, 8, 32).r, 0) << "left half must be empty";
    EXPECT_EQ(at(rgb, 56, 32).r, 255) << "right half must be covered";
    // A scale that is not symmetric tells rows from columns: x' = 0.5 x (row 0), y' = y.
    callback->transform.makeIdentity();
    callback->transform[0] = 0.5f;
    callback->transform[1] = 0.5f;  // row 0, column 1: y' += 0.5 x
    rgb = drawAndRead(shaderMaterial(type), 0.5f, -0.25f, 1.0f, 0.25f);
    // The quad x in [0.5, 1] lands at x' in [0.25, 0.5], y' = y + [0.25, 0.5] -> rows above centre.
    int coveredY = -1;
    for (int y = 0; y < 64 && coveredY < 0; ++y)
        if (at(rgb, 44, y).r == 255) coveredY = y;
    EXPECT_GE(coveredY, 8);
    EXPECT_LT(coveredY, 32) << "the shear must move the quad up (y' = y + 0.5 x)";
    EXPECT_EQ(at(rgb, 52, 32).r, 0) << "x must be halved";
}

TEST_F(ShaderGl, TextureRowZeroIsTheTopOfTheBackBufferAndOfARenderTarget) {
    const s32 tex = material("vs_main", "ps_tex0");
    video::SMaterial m = shaderMaterial(tex);
    m.setTexture(0, cornerTexture(gl->driver, "corners"));
    m.TextureLayer[0].BilinearFilter = false;
    expectCorners(drawAndRead(m), gl->width, gl->height, "image texture");

    // Through a render target: draw the picture into it, then draw the target on screen.
    video::ITexture* rt = gl->driver->addRenderTargetTexture(core::dimension2du(64, 64), "rt");
    ASSERT_NE(rt, nullptr);
    gl->driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    gl->driver->setRenderTarget(rt, true, true, video::SColor(255, 0, 0, 0));
    gltest::drawQuad(gl->driver, m);
    gl->driver->setRenderTarget(0, false, false);
    video::SMaterial fromRt = shaderMaterial(tex);
    fromRt.setTexture(0, rt);
    fromRt.TextureLayer[0].BilinearFilter = false;
    gltest::drawQuad(gl->driver, fromRt);
    std::vector<uint8_t> rgb(64 * 64 * 3);
    ASSERT_TRUE(keReadBackBufferRGB(64, 64, rgb.data()));
    gl->driver->endScene();
    expectCorners(rgb, 64, 64, "render target");
}

TEST_F(ShaderGl, VposCountsWholePixelsFromTheTopLeft) {
    const s32 type = material("vs_main", "ps_vpos");
    auto rgb = drawAndRead(shaderMaterial(type));
    const struct { int x, y; } cases[] = {{0, 0}, {5, 0}, {0, 7}, {63, 63}, {17, 40}};
    for (const auto& c : cases) {
        const Pixel p = at(rgb, c.x, c.y);
        EXPECT_EQ(p.r, c.x) << c.x << "," << c.y;
        EXPECT_EQ(p.g, c.y) << c.x << "," << c.y;
    }
    // With a viewport on the lower-left quarter VPOS still counts from the target's corner.
    gl->driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    gl->driver->setViewPort(core::rect<s32>(0, 32, 32, 64));
    gltest::drawQuad(gl->driver, shaderMaterial(type));
    ASSERT_TRUE(keReadBackBufferRGB(gl->width, gl->height, rgb.data()));
    gl->driver->setViewPort(core::rect<s32>(0, 0, gl->width, gl->height));
    gl->driver->endScene();
    EXPECT_EQ(at(rgb, 5, 40).r, 5);
    EXPECT_EQ(at(rgb, 5, 40).g, 40);
    EXPECT_EQ(at(rgb, 40, 5).g, 0) << "outside the viewport nothing is drawn";
}

TEST_F(ShaderGl, SamplerReadsTheUnitOfItsRegister) {
    const s32 type = material("vs_main", "ps_tex1");
    video::IImage* img = gl->driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(1, 1));
    img->setPixel(0, 0, video::SColor(255, 0, 0, 255));
    video::ITexture* blue = gl->driver->addTexture("blue", img);
    img->setPixel(0, 0, video::SColor(255, 255, 0, 0));
    video::ITexture* red = gl->driver->addTexture("red", img);
    img->drop();
    video::SMaterial m = shaderMaterial(type);
    m.setTexture(0, red);
    m.setTexture(1, blue);
    const Pixel p = at(drawAndRead(m), 32, 32);
    EXPECT_EQ(p.r, 0);
    EXPECT_EQ(p.b, 255);
    s32 unit = -2;
    EXPECT_TRUE(services->getPixelSamplerIndex(type, "tex1", unit));
    EXPECT_EQ(unit, 1);
}

TEST_F(ShaderGl, BaseMaterialBlendingIsKept) {
    // Additive base material: dst * (1 - src) + src. Red over blue gives magenta.
    core::stringc error;
    const s32 type = services->getShaderMaterial(kShader.c_str(), "vs_main", video::EVST_VS_3_0, kShader.c_str(),
                                                 "ps_color", video::EPST_PS_3_0, callback,
                                                 video::EMT_TRANSPARENT_ADD_COLOR, 0, nullptr, &error);
    ASSERT_GE(type, 0) << error.c_str();
    EXPECT_TRUE(gl->driver->getMaterialRenderer(type)->isTransparent());
    const s32 solid = material("vs_main", "ps_color");
    EXPECT_FALSE(gl->driver->getMaterialRenderer(solid)->isTransparent());
    callback->color[0] = 1; callback->color[1] = 0; callback->color[2] = 0; callback->color[3] = 1;
    gl->driver->beginScene(true, true, video::SColor(255, 0, 0, 255));
    gltest::drawQuad(gl->driver, shaderMaterial(type));
    std::vector<uint8_t> rgb(64 * 64 * 3);
    ASSERT_TRUE(keReadBackBufferRGB(64, 64, rgb.data()));
    // The next material (solid) must not blend: green replaces what is there.
    callback->color[0] = 0; callback->color[1] = 1;
    gltest::drawQuad(gl->driver, shaderMaterial(solid), -1, -1, 0, 1);
    std::vector<uint8_t> after(64 * 64 * 3);
    ASSERT_TRUE(keReadBackBufferRGB(64, 64, after.data()));
    gl->driver->endScene();
    const Pixel p = at(rgb, 32, 32);
    EXPECT_EQ(p.r, 255);
    EXPECT_EQ(p.b, 255);
    const Pixel q = at(after, 8, 32);
    EXPECT_EQ(q.r, 0);
    EXPECT_EQ(q.g, 255);
    EXPECT_EQ(q.b, 0);
}

// Ints, a bool, a float array and a matrix in one buffer: a structure set member by member.
class MixedConstants : public video::IShaderConstantSetCallBack {
public:
    core::matrix4 transform;
    s32 count = 2;
    bool enabled = true;
    void OnSetConstants(video::IMaterialRendererServices* s, s32) override {
        const f32 weights[12] = {0.25f, 0, 0, 0, 0.5f, 0.5f, 0, 0, 1, 1, 1, 1};
        s->setVertexShaderConstant("mTransform", transform.pointer(), 16);
        s->setPixelShaderConstant("count", &count, 1);
        s->setPixelShaderConstant("enabled", &enabled, 1);
        s->setPixelShaderConstant("weights", weights, 12);
    }
};

TEST_F(ShaderGl, MixedTypeConstantsAreSetByName) {
    const std::string file = std::string(KOLM_TEST_DATA_DIR) + "/fx/gl/mixed.hlsl";
    auto* mixed = new MixedConstants();
    core::stringc error;
    const s32 type = services->getShaderMaterial(file.c_str(), "vs_main", video::EVST_VS_3_0, file.c_str(), "ps_main",
                                                 video::EPST_PS_3_0, mixed, video::EMT_SOLID, 0, nullptr, &error);
    ASSERT_GE(type, 0) << error.c_str();
    mixed->transform.setTranslation(core::vector3df(1, 0, 0));
    auto rgb = drawAndRead(shaderMaterial(type), -1, -1, 0, 1);
    EXPECT_EQ(at(rgb, 8, 32).r, 0) << "left half must be empty";
    const Pixel p = at(rgb, 56, 32);
    EXPECT_NEAR(p.r, 191, 1);
    EXPECT_NEAR(p.g, 128, 1);
    EXPECT_EQ(p.b, 0);
    mixed->count = 3;
    mixed->enabled = false;
    EXPECT_EQ(at(drawAndRead(shaderMaterial(type), -1, -1, 0, 1), 56, 32).b, 255);
    mixed->enabled = true;
    const Pixel q = at(drawAndRead(shaderMaterial(type), -1, -1, 0, 1), 56, 32);
    EXPECT_EQ(q.r, 255);
    EXPECT_EQ(q.b, 255);
    mixed->drop();
}

TEST_F(ShaderGl, HotRecompileKeepsTheMaterialTypeAndShowsTheNewColour) {
    const fs::path dir = fs::temp_directory_path() / ("kolm_hot_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "hot.hlsl").string();
    auto write = [&](const char* colour) {
        std::ofstream(file) << "float4 vs_main(float3 p : POSITION) : POSITION { return float4(p, 1); }\n"
                               "float4 ps_main() : COLOR0 { return float4(" << colour << "); }\n";
    };
    write("1, 0, 0, 1");
    const s32 type = material("vs_main", "ps_main", file);
    EXPECT_EQ(at(drawAndRead(shaderMaterial(type)), 32, 32).r, 255);

    write("0, 1, 0, 1");
    core::array<core::stringc> changed;
    changed.push_back(file.c_str());
    core::array<s32> updated;
    core::array<core::stringc> errors;
    EXPECT_TRUE(services->recompileShaders(changed, updated, &errors));
    ASSERT_EQ(updated.size(), 1u);
    EXPECT_EQ(updated[0], type);
    const Pixel p = at(drawAndRead(shaderMaterial(type)), 32, 32);
    EXPECT_EQ(p.r, 0);
    EXPECT_EQ(p.g, 255);

    // A broken edit keeps the last good shader and reports the file.
    write("0, 0, 1");  // float4 from three values
    updated.clear();
    EXPECT_FALSE(services->recompileShaders(changed, updated, &errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(std::string(errors[0].c_str()).find("Failed to compile " + file), std::string::npos);
    EXPECT_EQ(at(drawAndRead(shaderMaterial(type)), 32, 32).g, 255);
    fs::remove_all(dir);
}

namespace {

const std::string kEffects = std::string(KOLM_TEST_DATA_DIR) + "/fx/gl/effects.hlsl";

// Sets named constants of both stages from a table, whatever the shader.
class NamedConstants : public video::IShaderConstantSetCallBack {
public:
    struct Value {
        std::string name;
        std::vector<f32> floats;
    };
    std::vector<Value> values;
    std::vector<std::string> refused;
    void OnSetConstants(video::IMaterialRendererServices* s, s32) override {
        refused.clear();
        for (const Value& v : values)
            if (!s->setPixelShaderConstant(v.name.c_str(), v.floats.data(), static_cast<int>(v.floats.size())))
                refused.push_back(v.name);
    }
};

}  // namespace

TEST_F(ShaderGl, VaryingsOfDifferentWidthsLinkAndKeepTheirComponents) {
    // The vertex stage writes float4 TEXCOORD0 and float TEXCOORD1; one pixel stage reads two
    // and four components of them, the other all four of TEXCOORD0.
    const s32 narrow = material("vs_wide", "ps_narrow", kEffects);
    const s32 wide = material("vs_wide", "ps_wide", kEffects);
    ASSERT_GE(narrow, 0);
    ASSERT_GE(wide, 0);
    const auto a = drawAndRead(shaderMaterial(narrow));
    const auto b = drawAndRead(shaderMaterial(wide));
    for (int y = 0; y < gl->height; ++y)
        for (int x = 0; x < gl->width; ++x) {
            // Varyings are read where Direct3D 9 reads them: at the pixel's top-left corner.
            const int u = int(float(x) / gl->width * 255.0f + 0.5f);
            const int v = int(float(y) / gl->height * 255.0f + 0.5f);
            const Pixel p = at(a, x, y), q = at(b, x, y);
            ASSERT_NEAR(p.r, u, 1) << x << "," << y;
            ASSERT_NEAR(p.g, 128, 1) << "a float written, x read as x" << x << "," << y;
            ASSERT_EQ(p.b, 255) << "missing w reads 1 at " << x << "," << y;
            ASSERT_NEAR(q.r, 64, 1) << x << "," << y;
            ASSERT_NEAR(q.g, 191, 1) << x << "," << y;
            ASSERT_NEAR(q.b, v, 1) << x << "," << y;
        }
}

TEST_F(ShaderGl, StructureMembersAreSetByTheirPath) {
    // Float-only structures (one vec4 array) and structures with ints (a structure uniform).
    for (const char* variant : {"", "MIXED"}) {
        SCOPED_TRACE(*variant ? variant : "floats");
        auto* named = new NamedConstants();
        named->values = {{"LightParams[2].LightColor", {0.0f, 0.5f, 0.25f}},
                         {"LightParams[1].LightColor", {1.0f, 1.0f, 1.0f}},
                         {"LightParams[1].InvLightRadiusSqr", {0.5f}},
                         {"LightsNum.LightSpotsNum", {1.0f}}};
        CKeMacro macros[] = {{variant, "1"}, {nullptr, nullptr}};
        core::stringc error;
        const s32 type = services->getShaderMaterial(kEffects.c_str(), "vs_wide", video::EVST_VS_3_0, kEffects.c_str(),
                                                     "ps_lights", video::EPST_PS_3_0, named, video::EMT_SOLID, 0,
                                                     *variant ? macros : nullptr, &error);
        ASSERT_GE(type, 0) << error.c_str();
        const auto rgb = drawAndRead(shaderMaterial(type));
        EXPECT_TRUE(named->refused.empty()) << named->refused.front();
        for (int y = 0; y < gl->height; ++y)
            for (int x = 0; x < gl->width; ++x) {
                const Pixel p = at(rgb, x, y);
                ASSERT_EQ(p.r, 255) << x << "," << y;
                ASSERT_NEAR(p.g, 128, 1) << x << "," << y;
                ASSERT_NEAR(p.b, 191, 1) << x << "," << y;
            }
        s32 index = 0;
        EXPECT_TRUE(services->getPixelSamplerIndex(type, "LightParams[0].LightColor", index));
        EXPECT_EQ(index, -1) << "a plain constant has no sampler";
        named->drop();
    }
}

TEST_F(ShaderGl, VertexAndPixelSamplersOfOneRegisterReadTheirOwnTextures) {
    const s32 type = material("vs_height", "ps_sampled", kEffects);
    ASSERT_GE(type, 0);
    s32 unit = -2;
    EXPECT_TRUE(services->getVertexSamplerIndex(type, "heights", unit));
    EXPECT_EQ(unit, 0);
    EXPECT_TRUE(services->getPixelSamplerIndex(type, "colours", unit));
    EXPECT_EQ(unit, 0);
    const float level = 0.75f;
    auto heights = KePtr<CKeGlTexture>::adopt(keGlCreateFloatTexture(gl->driver, "heights", 1, 1, &level));
    ASSERT_TRUE(heights);
    ASSERT_TRUE(services->shaderDriver().renderer(type)->setVertexTexture(0, heights.get()));
    video::IImage* img = gl->driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(1, 1));
    img->setPixel(0, 0, video::SColor(255, 255, 0, 0));
    video::ITexture* red = gl->driver->addTexture("red0", img);
    img->drop();
    EXPECT_FALSE(services->shaderDriver().renderer(type)->setVertexTexture(1, red)) << "library textures stay in the pixel stage";
    video::SMaterial m = shaderMaterial(type);
    m.setTexture(0, red);
    const auto rgb = drawAndRead(m);
    for (int y = 0; y < gl->height; ++y)
        for (int x = 0; x < gl->width; ++x) {
            const Pixel p = at(rgb, x, y);
            ASSERT_EQ(p.r, 255) << x << "," << y;
            ASSERT_NEAR(p.g, 191, 1) << "the vertex stage reads its own unit" << x << "," << y;
            ASSERT_EQ(p.b, 0) << x << "," << y;
        }
    services->shaderDriver().renderer(type)->setVertexTexture(0, nullptr);
}

TEST_F(ShaderGl, ShippedExampleEffectsLink) {
    const std::string dir = std::string(KOLM_SOURCE_DIR) + "/examples/shaders/";
    for (const char* file : {"textured.hlsl", "lit.hlsl", "copy_texture.hlsl", "lights_cube.hlsl"}) {
        const std::string path = dir + file;
        core::stringc error;
        const s32 type = services->getShaderMaterial(path.c_str(), "vs_main", video::EVST_VS_3_0, path.c_str(), "ps_main",
                                                     video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0, nullptr, &error);
        EXPECT_GE(type, 0) << file << ": " << error.c_str();
    }
}

TEST_F(ShaderGl, AShaderGlRefusesIsReportedWithItsMacrosAndItsGeneratedCode) {
    // Legal for the compiler, refused by the GL linker: the stages disagree on a varying's type.
    const fs::path dir = fs::temp_directory_path() / ("kolm_glfail_" + std::to_string(::getpid()));
    fs::create_directories(dir / "cache");
    const std::string file = (dir / "mismatch.hlsl").string();
    std::ofstream(file) << "struct V { float4 p : POSITION; float4 t : TEXCOORD0; };\n"
                           "V vs_main(float3 p : POSITION) { V o; o.p = float4(p, 1); o.t = 1; return o; }\n"
                           "float4 ps_main(int4 t : TEXCOORD0) : COLOR0 { return float4(t); }\n";
    services->setShaderCache((dir / "cache").string().c_str(), 7);
    const CKeMacro macros[] = {{"QUALITY", "2"}, {nullptr, nullptr}};
    core::stringc error;
    EXPECT_EQ(services->getShaderMaterial(file.c_str(), "vs_main", video::EVST_VS_3_0, file.c_str(), "ps_main",
                                          video::EPST_PS_3_0, nullptr, video::EMT_SOLID, 0, macros, &error), -1);
    const std::string text = error.c_str();
    EXPECT_EQ(text.rfind("KeGPU: addHighLevelShaderMaterial failed\nGLSL link: ", 0), 0u) << text;
    EXPECT_NE(text.find("\nmacros: QUALITY 2~\n"), std::string::npos) << text;
    const std::string name = keShaderCacheFileName(file, "ps_main", false, keSortedMacros(macros));
    const std::string written = (dir / "cache" / (name + ".glsl")).string();
    EXPECT_NE(text.find("\npixel GLSL: " + written), std::string::npos) << text;
    std::ifstream in(written);
    const std::string glsl((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(glsl.find("in ivec4 kev_TEXCOORD0;"), std::string::npos) << glsl;
    fs::remove_all(dir);
}
