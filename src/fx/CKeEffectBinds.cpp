#include "fx/CKeEffectBinds.h"

#include "core/KeError.h"
#include "engine/IKeSceneManager.h"
#include "engine/IKeVideoDriverExt.h"
#include "engine/KeRenderPass.h"
#include "fx/IKeSurfaceManager.h"

#include <irrlicht/ICameraSceneNode.h>
#include <irrlicht/ILightSceneNode.h>
#include <irrlicht/IMaterialRendererServices.h>
#include <irrlicht/ISceneCollisionManager.h>
#include <irrlicht/ISceneManager.h>
#include <irrlicht/ITimer.h>
#include <irrlicht/IVideoDriver.h>
#include <irrlicht/IrrlichtDevice.h>
#include <irrlicht/SViewFrustum.h>

#include <cmath>
#include <utility>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace kolm {

using namespace irr;

// --- sending ------------------------------------------------------------------------------

bool keSendFloats(video::IMaterialRendererServices* s, const SKeFxConstBind& c, const f32* values, s32 count,
                  s32 registers) {
    if (!s || !values) return false;
    if (c.registerIndex == -1) {
        return c.stage == KE_STAGE_VERTEX ? s->setVertexShaderConstant(c.symbol, values, count)
                                          : s->setPixelShaderConstant(c.symbol, values, count);
    }
    s32 regs = registers > 0 ? registers : c.registerCount;
    if (regs <= 0) regs = (count + 3) / 4;
    // Registers are read 4 floats at a time: pad what the value lacks with zeros.
    constexpr s32 kMaxRegisters = 64;
    if (regs > kMaxRegisters) regs = kMaxRegisters;
    f32 padded[kMaxRegisters * 4];
    const s32 n = count < regs * 4 ? count : regs * 4;
    std::memcpy(padded, values, sizeof(f32) * size_t(n));
    std::memset(padded + n, 0, sizeof(f32) * size_t(regs * 4 - n));
    if (c.stage == KE_STAGE_VERTEX) s->setVertexShaderConstant(padded, c.registerIndex, regs);
    else s->setPixelShaderConstant(padded, c.registerIndex, regs);
    return true;
}

bool keSendMatrix(video::IMaterialRendererServices* s, const SKeFxConstBind& c, const f32* m, bool transposeSemantic) {
    const bool byName = c.registerIndex == -1;
    if (byName != transposeSemantic) return keSendFloats(s, c, m, 16);
    f32 t[16];
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k) t[r * 4 + k] = m[k * 4 + r];
    return keSendFloats(s, c, t, 16);
}

IKeBindNodeData* keFindBindNodeData(scene::ISceneNode* node) {
    if (!node) return nullptr;
    const core::list<scene::ISceneNodeAnimator*>& animators = node->getAnimators();
    for (auto it = animators.begin(); it != animators.end(); ++it)
        if (s32((*it)->getType()) == KE_NODE_EXT_ANIMATOR)
            if (IKeBindNodeData* d = dynamic_cast<IKeBindNodeData*>(*it)) return d;
    return nullptr;
}

namespace {

// Logs a constant's failure once (the constant remembers it), not at every draw.
void logOnce(const SKeFxConstBind& c, const char* format, ...) __attribute__((format(printf, 2, 3)));
void logOnce(const SKeFxConstBind& c, const char* format, ...) {
    if (c.reported) return;
    c.reported = true;
    va_list args;
    va_start(args, format);
    vprintMessage(KE_ERROR, -1, format, args);
    va_end(args);
}

template <typename T> void putData(u8 (&data)[8], const T& v) {
    static_assert(sizeof(T) <= 8, "bind data is 8 bytes");
    std::memcpy(data, &v, sizeof(T));
}
template <typename T> T getData(const SKeFxConstBind& c) {
    T v;
    std::memcpy(&v, c.data, sizeof(T));
    return v;
}

// Decimal index after `prefix`, or -1 when the text is not prefix + digits.
s32 indexAfter(const c8* text, const c8* prefix) {
    const size_t n = std::strlen(prefix);
    if (std::strncmp(text, prefix, n) != 0 || !text[n]) return -1;
    s32 v = 0;
    for (const c8* p = text + n; *p; ++p) {
        if (*p < '0' || *p > '9' || v > 100000) return -1;
        v = v * 10 + (*p - '0');
    }
    return v;
}

bool sendVector(video::IMaterialRendererServices* s, const SKeFxConstBind& c, const core::vector3df& v, f32 w) {
    const f32 f[4] = {v.X, v.Y, v.Z, w};
    return keSendFloats(s, c, f, 4);
}

video::IVideoDriver* driverOf(video::IMaterialRendererServices* s) { return s ? s->getVideoDriver() : nullptr; }

class CKeBindBase : public IKeEffectBind {
public:
    explicit CKeBindBase(KeEffectBindContextPtr ctx) : m_ctx(std::move(ctx)) {}
    scene::ISceneManager* sceneManager() const {
        return m_ctx && m_ctx->device ? m_ctx->device->getSceneManager() : nullptr;
    }
    scene::ICameraSceneNode* camera() const {
        scene::ISceneManager* sm = sceneManager();
        return sm ? sm->getActiveCamera() : nullptr;
    }
    KeEffectBindContextPtr m_ctx;
};

// --- transforms -------------------------------------------------------------------------------

class CKeEffectBindTransform : public CKeBindBase {
public:
    using CKeBindBase::CKeBindBase;
    const c8* getBindName() const override { return "CKeEffectBindTransform"; }
    enum Which : u8 { VIEW, VIEW_INV, WORLD, WORLD_INV, PROJ, WORLD_VIEW, WORLD_VIEW_INV, VIEW_PROJ, WVP };
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&data)[8]) override {
        static const struct {
            const c8* name;
            Which which;
        } table[] = {{"View", VIEW},           {"ViewInverse", VIEW_INV},          {"World", WORLD},
                     {"WorldInverse", WORLD_INV}, {"Projection", PROJ},           {"WorldView", WORLD_VIEW},
                     {"WorldViewInverse", WORLD_VIEW_INV}, {"ViewProjection", VIEW_PROJ},
                     {"WorldViewProjection", WVP}};
        for (const auto& row : table) {
            const size_t n = std::strlen(row.name);
            if (std::strncmp(c.semantic, row.name, n) != 0) continue;
            const c8* rest = c.semantic + n;
            if (*rest && std::strcmp(rest, "Transpose") != 0) continue;
            data[0] = row.which;
            data[1] = *rest ? 1 : 0;
            return &send;
        }
        return nullptr;
    }
    static core::matrix4 inverse(const core::matrix4& m) {
        core::matrix4 out;
        return m.getInverse(out) ? out : m;
    }
    static bool send(IKeEffectBind*, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter&) {
        video::IVideoDriver* d = driverOf(s);
        if (!d) return false;
        const core::matrix4& view = d->getTransform(video::ETS_VIEW);
        const core::matrix4& world = d->getTransform(video::ETS_WORLD);
        const core::matrix4& proj = d->getTransform(video::ETS_PROJECTION);
        core::matrix4 m;
        switch (c.data[0]) {
            case VIEW: m = view; break;
            case VIEW_INV: m = inverse(view); break;
            case WORLD: m = world; break;
            case WORLD_INV: m = inverse(world); break;
            case PROJ: m = proj; break;
            case WORLD_VIEW: m = view * world; break;
            case WORLD_VIEW_INV: m = inverse(view * world); break;
            case VIEW_PROJ: m = proj * view; break;
            default: m = proj * view * world; break;
        }
        return keSendMatrix(s, c, m.pointer(), c.data[1] != 0);
    }
};

// --- time ---------------------------------------------------------------------------------------

class CKeEffectBindTime : public CKeBindBase {
public:
    using CKeBindBase::CKeBindBase;
    const c8* getBindName() const override { return "CKeEffectBindTime"; }
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&data)[8]) override {
        if (!std::strcmp(c.semantic, "Time") || !std::strcmp(c.semantic, "Time0_X")) data[0] = 0;
        else if (!std::strcmp(c.semantic, "TimeScene")) data[0] = 1;
        else return nullptr;
        return &send;
    }
    static bool send(IKeEffectBind* b, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter&) {
        const KeEffectBindContext* ctx = static_cast<CKeBindBase*>(b)->m_ctx.get();
        f32 t = 0.0f;
        if (c.data[0] == 0 && ctx && ctx->device && ctx->device->getTimer())
            t = f32(ctx->device->getTimer()->getTime()) / 1000.0f;
        else if (c.data[0] == 1 && ctx && ctx->sceneExt)
            t = f32(ctx->sceneExt->getSceneTime()) / 1000.0f;
        return keSendFloats(s, c, &t, 1);
    }
};

// --- screen -------------------------------------------------------------------------------------

class CKeEffectBindScreen : public CKeBindBase {
public:
    using CKeBindBase::CKeBindBase;
    const c8* getBindName() const override { return "CKeEffectBindScreen"; }
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&data)[8]) override {
        // data: 0 target / 1 screen, then a and b of (b / (a w), b / (a h)); a = 0: the size itself.
        static const struct {
            const c8* name;
            u8 screen, a, b;
        } table[] = {{"TargetSize", 0, 0, 0},          {"PixelSize", 0, 1, 1},
                     {"HalfPixelSize", 0, 2, 1},       {"ScreenSize", 1, 0, 0},
                     {"ScreenPixelSize", 1, 1, 1},     {"ScreenHalfPixelSize", 1, 2, 1},
                     {"HalfScreenPixelSize", 1, 1, 2}, {"HalfScreenHalfPixelSize", 1, 2, 2},
                     {"QuarterScreenPixelSize", 1, 1, 4}, {"QuarterScreenHalfPixelSize", 1, 2, 4}};
        for (const auto& row : table)
            if (!std::strcmp(c.semantic, row.name)) {
                data[0] = row.screen;
                data[1] = row.a;
                data[2] = row.b;
                return &send;
            }
        return nullptr;
    }
    static bool send(IKeEffectBind*, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter&) {
        video::IVideoDriver* d = driverOf(s);
        if (!d) return false;
        const core::dimension2du size = c.data[0] ? d->getScreenSize() : d->getCurrentRenderTargetSize();
        f32 v[2] = {f32(size.Width), f32(size.Height)};
        if (c.data[1]) {
            const f32 a = c.data[1], b = c.data[2];
            v[0] = size.Width ? b / (a * f32(size.Width)) : 0.0f;
            v[1] = size.Height ? b / (a * f32(size.Height)) : 0.0f;
        }
        return keSendFloats(s, c, v, 2);
    }
};

// --- LightWave surfaces ---------------------------------------------------------------------------

const c8* const kLightwaveChannels[] = {
    "BaseColor", "Luminosity", "Diffuse", "Specularity", "Reflectivity", "Transparency", "Translucency", "IOR",
    "Bump", "Glossiness", "SpecialBuffer1", "SpecialBuffer2", "SpecialBuffer3", "SpecialBuffer4",
    "DiffuseSharpness", "BumpDropoff", "SmoothingAngle", "ReflectionSeamAngle", "RefractionSeamAngle",
    "ReflectionBlurring", "RefractionBlurring", "ColorFilter", "ColorHighlights", "AdditiveTransparency",
    "AlphaValue", "GlowValue", "LineColor", "LineSize", "AlphaOptions", "ReflectionOptions", "RefractionOptions",
    "Sidedness", "ExcludeFromVStack", "Glow", "RenderOutlines", "ReflectionImage", "RefractionImage",
    "VertexColoring", "VertexNormal"};

class CKeSurfaceBind : public CKeBindBase {
public:
    CKeSurfaceBind(KeEffectBindContextPtr ctx, const c8* name, const c8* kindName, u32 kind)
        : CKeBindBase(std::move(ctx)), m_name(name), m_kindName(kindName), m_kind(kind) {}
    const c8* getBindName() const override { return m_name; }
    bool onSetMaterial(const KeMaterialBinding* record, s32) override {
        m_surface = nullptr;
        if (!record || !record->node) {
            printMessage(KE_ERROR, "%s::onSetMaterial : Missing matExt->Node", m_name);
            return false;
        }
        IKeBindNodeData* data = keFindBindNodeData(record->node);
        if (!data) {
            printMessage(KE_ERROR, "%s::onSetMaterial : Missing IKeSceneNodeExt", m_name);
            return false;
        }
        IKeBindSurface* surface = data->getBindSurface(record->materialIndex);
        if (!surface) {
            printMessage(KE_ERROR, "%s::onSetMaterial : Missing Surface at index %d", m_name, record->materialIndex);
            return false;
        }
        if (surface->getBindKind() != m_kind) {
            printMessage(KE_ERROR, "%s::onSetMaterial : Unexpected Surface type != %s at index %d", m_name, m_kindName,
                         record->materialIndex);
            return false;
        }
        m_surface = surface;
        scene::ISceneManager* sm = sceneManager();
        if (sm && m_ctx->driverExt) {
            const scene::E_SCENE_NODE_RENDER_PASS pass = keCurrentRenderPass(sm);
            if (pass == scene::ESNRP_TRANSPARENT || pass == scene::ESNRP_TRANSPARENT_EFFECT) {
                f32 glow = surface->getBindGlow();
                glow = glow < 0.0f ? 0.0f : glow > 1.0f ? 1.0f : glow;
                m_ctx->driverExt->setBlendFactor(video::SColor(u32(glow * 255.0f + 0.5f), 0, 0, 0));
            }
        }
        return true;
    }
    IKeBindSurface* m_surface = nullptr;

private:
    const c8* m_name;
    const c8* m_kindName;
    u32 m_kind;
};

class CKeEffectBindLightwave : public CKeSurfaceBind {
public:
    explicit CKeEffectBindLightwave(KeEffectBindContextPtr ctx)
        : CKeSurfaceBind(ctx, "CKeEffectBindLightwave", "EKEST_LIGHTWAVE", KE_SURFACE_LIGHTWAVE) {}
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&data)[8]) override {
        if (std::strncmp(c.semantic, "LW_", 3) != 0) return nullptr;
        const c8* name = c.semantic + 3;
        if (!std::strcmp(name, "Roughness")) return &sendRoughness;
        if (!std::strcmp(name, "ReflectionMaxMip")) return &sendMaxMip;
        if (c.type != KE_FXP_FLOAT && c.type != KE_FXP_FLOAT3 && c.type != KE_FXP_BOOL && c.type != KE_FXP_INT)
            return nullptr;
        for (u8 i = 0; i < sizeof(kLightwaveChannels) / sizeof(kLightwaveChannels[0]); ++i)
            if (!std::strcmp(name, kLightwaveChannels[i])) {
                data[0] = i;
                return &sendChannel;
            }
        return nullptr;
    }
    static bool sendChannel(IKeEffectBind* b, video::IMaterialRendererServices* s, const SKeFxConstBind& c,
                            const SKeFxParameter&) {
        IKeBindSurface* surface = static_cast<CKeEffectBindLightwave*>(b)->m_surface;
        f32 v[3] = {0, 0, 0};
        if (surface) surface->getBindValue(kLightwaveChannels[c.data[0]], v, c.type == KE_FXP_FLOAT3 ? 3 : 1);
        return keSendFloats(s, c, v, c.type == KE_FXP_FLOAT3 ? 3 : 1);
    }
    static bool sendRoughness(IKeEffectBind* b, video::IMaterialRendererServices* s, const SKeFxConstBind& c,
                              const SKeFxParameter&) {
        IKeBindSurface* surface = static_cast<CKeEffectBindLightwave*>(b)->m_surface;
        f32 gloss = 0.0f;
        if (surface) surface->getBindValue("Glossiness", &gloss, 1);
        const f32 v = std::pow(2.0f, gloss * 10.0f + 2.0f);
        return keSendFloats(s, c, &v, 1);
    }
    static bool sendMaxMip(IKeEffectBind* b, video::IMaterialRendererServices* s, const SKeFxConstBind& c,
                           const SKeFxParameter&) {
        IKeBindSurface* surface = static_cast<CKeEffectBindLightwave*>(b)->m_surface;
        video::ITexture* t = surface ? surface->getBindTexture("ReflectionImage") : nullptr;
        u32 w = t ? t->getOriginalSize().Width : 0, bits = 0;
        while (w) {
            ++bits;
            w >>= 1;
        }
        const f32 v = f32(bits);
        return keSendFloats(s, c, &v, 1);
    }
};

class CKeEffectBindLightwaveHV : public CKeSurfaceBind {
public:
    explicit CKeEffectBindLightwaveHV(KeEffectBindContextPtr ctx)
        : CKeSurfaceBind(ctx, "CKeEffectBindLightwaveHV", "EKEST_LIGHTWAVEHV", KE_SURFACE_LIGHTWAVE_HV) {}
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&data)[8]) override {
        if (std::strncmp(c.semantic, "LWHV_", 5) != 0) return nullptr;
        for (u8 i = 0; i < sizeof(kValues) / sizeof(kValues[0]); ++i)
            if (!std::strcmp(c.semantic + 5, kValues[i].name)) {
                data[0] = i;
                // The size key values: 9 in vertex shaders, 8 in pixel shaders.
                data[1] = i == 8 && c.stage == KE_STAGE_FRAGMENT ? 8 : kValues[i].count;
                return &send;
            }
        return nullptr;
    }
    static bool send(IKeEffectBind* b, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter&) {
        IKeBindSurface* surface = static_cast<CKeEffectBindLightwaveHV*>(b)->m_surface;
        f32 v[36] = {};
        if (surface) surface->getBindValue(kValues[c.data[0]].name, v, c.data[1]);
        SKeFxConstBind byName = c;
        byName.registerIndex = -1;  // always by name
        return keSendFloats(s, byName, v, s32(c.data[1]));
    }

private:
    struct NamedCount {
        const c8* name;
        u8 count;
    };
    static constexpr NamedCount kValues[] = {{"Color", 4},          {"Size", 1},           {"Rotation", 1},
                                             {"ColorNumKeys", 1},   {"ColorKeyParams", 8}, {"ColorKeyValues", 36},
                                             {"SizeNumKeys", 1},    {"SizeKeyParams", 8},  {"SizeKeyValues", 9}};
};

// --- the light parameter block ----------------------------------------------------------------

class CKeEffectBindLightParams : public CKeBindBase {
public:
    explicit CKeEffectBindLightParams(KeEffectBindContextPtr ctx) : CKeBindBase(std::move(ctx)) {
        static const c8* const members[] = {"LightColor", "LightPosition", "LightDirection", "InvLightRadiusSqr",
                                            "SpotlightAngles"};
        for (int i = 0; i < 5; ++i)
            for (int m = 0; m < 5; ++m) std::snprintf(m_names[i][m], sizeof(m_names[i][m]), "LightParams[%d].%s", i, members[m]);
    }
    const c8* getBindName() const override { return "CKeEffectBindLightParams"; }
    bool onSetMaterial(const KeMaterialBinding*, s32) override {
        keBuildLightBlock(m_ctx && m_ctx->device ? m_ctx->device->getVideoDriver() : nullptr, m_block);
        return true;
    }
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&data)[8]) override {
        if (c.stage != KE_STAGE_FRAGMENT) return nullptr;
        if (!std::strcmp(c.semantic, "LightsNum")) data[0] = 0;
        else if (!std::strcmp(c.semantic, "LightsIni")) data[0] = 1;
        else if (!std::strcmp(c.semantic, "LightParams")) data[0] = 2;
        else return nullptr;
        return &send;
    }
    static bool send(IKeEffectBind* b, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter&) {
        auto* self = static_cast<CKeEffectBindLightParams*>(b);
        const KeLightBlock& k = self->m_block;
        const bool byName = c.registerIndex == -1 || c.registerIndex == 0;
        const u8 which = c.data[0];
        if (which < 2) {
            const f32* v = which == 0 ? k.num : k.ini;
            if (!byName) {
                f32 regs[12] = {v[0], 0, 0, 0, v[1], 0, 0, 0, v[2], 0, 0, 0};
                return keSendFloats(s, c, regs, 12, 3);
            }
            static const c8* const num[] = {"LightsNum.LightDirsNum", "LightsNum.LightPointsNum", "LightsNum.LightSpotsNum"};
            static const c8* const ini[] = {"LightsIni.LightDirsIni", "LightsIni.LightPointsIni", "LightsIni.LightSpotsIni"};
            bool ok = true;
            for (int i = 0; i < 3; ++i) {
                SKeFxConstBind member = c;
                member.symbol = which == 0 ? num[i] : ini[i];
                ok &= keSendFloats(s, member, v + i, 1);
            }
            return ok;
        }
        if (!byName) {
            f32 regs[25 * 4] = {};
            for (int i = 0; i < 5; ++i) {
                const KeLightBlock::Light& l = k.lights[i];
                f32* r = regs + i * 20;
                std::memcpy(r, l.color, 12);
                std::memcpy(r + 4, l.position, 12);
                std::memcpy(r + 8, l.direction, 12);
                r[12] = l.invRadiusSqr;
                r[16] = l.spotAngles[0];
                r[17] = l.spotAngles[1];
            }
            return keSendFloats(s, c, regs, 100, 25);
        }
        bool ok = true;
        for (int i = 0; i < 5; ++i) {
            const KeLightBlock::Light& l = k.lights[i];
            const f32* values[5] = {l.color, l.position, l.direction, &l.invRadiusSqr, l.spotAngles};
            const s32 counts[5] = {3, 3, 3, 1, 2};
            for (int m = 0; m < 5; ++m) {
                SKeFxConstBind member = c;
                member.symbol = self->m_names[i][m];
                ok &= keSendFloats(s, member, values[m], counts[m]);
            }
        }
        return ok;
    }
    KeLightBlock m_block;
    c8 m_names[5][5][40];
};

// --- single lights ------------------------------------------------------------------------------

class CKeEffectBindLight : public CKeBindBase {
public:
    using CKeBindBase::CKeBindBase;
    const c8* getBindName() const override { return "CKeEffectBindLight"; }
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&data)[8]) override {
        if (!std::strcmp(c.semantic, "LightAmbient")) {
            putData(data, s32(-1));
            data[4] = 0;
            return &send;
        }
        static const c8* const prefixes[] = {"LightPos", "LightDir", "LightDiffuse"};
        for (u8 k = 0; k < 3; ++k) {
            const s32 n = indexAfter(c.semantic, prefixes[k]);
            if (n < 0) continue;
            putData(data, n);
            data[4] = u8(k + 1);
            return &send;
        }
        return nullptr;
    }
    static bool send(IKeEffectBind* b, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter&) {
        auto* self = static_cast<CKeEffectBindLight*>(b);
        scene::ISceneManager* sm = self->sceneManager();
        const u8 kind = c.data[4];
        if (kind == 0) {
            const video::SColorf a = sm ? sm->getAmbientLight() : video::SColorf(0, 0, 0, 0);
            const f32 v[4] = {a.r, a.g, a.b, a.a};
            return keSendFloats(s, c, v, 4);
        }
        const s32 n = getData<s32>(c);
        scene::ILightSceneNode* light = nullptr;
        if (sm) {
            s32 seen = 0;
            const core::list<scene::ISceneNode*>& children = sm->getRootSceneNode()->getChildren();
            for (auto it = children.begin(); it != children.end() && !light; ++it)
                if ((*it)->getType() == scene::ESNT_LIGHT && seen++ == n) light = static_cast<scene::ILightSceneNode*>(*it);
        }
        if (!light) {
            logOnce(c, "CKeEffectBindLight : Light index %d not found ", n);
            return true;
        }
        const video::SLight& d = light->getLightData();
        if (kind == 1) return sendVector(s, c, light->getAbsolutePosition(), 1.0f);
        if (kind == 2) {
            const f32 v[3] = {d.Direction.X, d.Direction.Y, d.Direction.Z};
            return keSendFloats(s, c, v, 3);
        }
        const f32 v[4] = {d.DiffuseColor.r, d.DiffuseColor.g, d.DiffuseColor.b, d.DiffuseColor.a};
        return keSendFloats(s, c, v, 4);
    }
};

// --- camera -------------------------------------------------------------------------------------

class CKeEffectBindCamera : public CKeBindBase {
public:
    using CKeBindBase::CKeBindBase;
    const c8* getBindName() const override { return "CKeEffectBindCamera"; }
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&data)[8]) override {
        static const c8* const names[] = {"ViewPosition", "FrustrumFarCorners", "FrustrumFarCornersWorld",
                                          "ZFarValue", "LineStartsEnds", "LineEnds"};
        for (u8 i = 0; i < 6; ++i)
            if (!std::strcmp(c.semantic, names[i])) {
                data[0] = i;
                return &send;
            }
        return nullptr;
    }
    static bool send(IKeEffectBind* b, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter&) {
        auto* self = static_cast<CKeEffectBindCamera*>(b);
        scene::ICameraSceneNode* cam = self->camera();
        f32 v[12] = {};
        switch (c.data[0]) {
            case 0:
                if (cam) return sendVector(s, c, cam->getAbsolutePosition(), 1.0f);
                return keSendFloats(s, c, v, 4);
            case 1:
            case 2: {
                if (cam) {
                    const scene::SViewFrustum* f = cam->getViewFrustum();
                    core::vector3df corners[4] = {f->getFarLeftUp(), f->getFarRightUp(), f->getFarLeftDown(),
                                                  f->getFarRightDown()};
                    for (int i = 0; i < 4; ++i) {
                        if (c.data[0] == 1) cam->getViewMatrix().transformVect(corners[i]);
                        v[i * 3] = corners[i].X;
                        v[i * 3 + 1] = corners[i].Y;
                        v[i * 3 + 2] = corners[i].Z;
                    }
                }
                return keSendFloats(s, c, v, 12);
            }
            case 3: {
                const f32 far = cam ? cam->getFarValue() : 0.0f;
                return keSendFloats(s, c, &far, 1);
            }
            default: {
                scene::ISceneManager* sm = self->sceneManager();
                video::IVideoDriver* d = driverOf(s);
                f32 starts[12] = {};
                if (sm && d && cam) {
                    const core::rect<s32> vp = d->getViewPort();
                    const core::position2di at[4] = {vp.UpperLeftCorner,
                                                     {vp.LowerRightCorner.X, vp.UpperLeftCorner.Y},
                                                     {vp.UpperLeftCorner.X, vp.LowerRightCorner.Y},
                                                     vp.LowerRightCorner};
                    for (int i = 0; i < 4; ++i) {
                        const core::line3df ray = sm->getSceneCollisionManager()->getRayFromScreenCoordinates(at[i], cam);
                        starts[i * 3] = ray.start.X;
                        starts[i * 3 + 1] = ray.start.Y;
                        starts[i * 3 + 2] = ray.start.Z;
                        v[i * 3] = ray.end.X;
                        v[i * 3 + 1] = ray.end.Y;
                        v[i * 3 + 2] = ray.end.Z;
                    }
                }
                if (c.data[0] == 5) return keSendFloats(s, c, v, 12);
                static const c8* const startNames[] = {"LineStartsEnds.LineStarts0", "LineStartsEnds.LineStarts1",
                                                       "LineStartsEnds.LineStarts2", "LineStartsEnds.LineStarts3"};
                static const c8* const endNames[] = {"LineStartsEnds.LineEnds0", "LineStartsEnds.LineEnds1",
                                                     "LineStartsEnds.LineEnds2", "LineStartsEnds.LineEnds3"};
                bool ok = true;
                for (int i = 0; i < 4; ++i) {
                    SKeFxConstBind member = c;
                    member.registerIndex = -1;
                    member.symbol = startNames[i];
                    ok &= keSendFloats(s, member, starts + i * 3, 3);
                    member.symbol = endNames[i];
                    ok &= keSendFloats(s, member, v + i * 3, 3);
                }
                return ok;
            }
        }
    }
};

// --- node extension cube maps ---------------------------------------------------------------------

class CKeEffectBindNodeExt : public CKeBindBase {
public:
    using CKeBindBase::CKeBindBase;
    const c8* getBindName() const override { return "CKeEffectBindNodeExt"; }
    bool onSetMaterial(const KeMaterialBinding* record, s32) override {
        m_data = nullptr;
        if (!record || !record->node) {
            printMessage(KE_ERROR, "CKeEffectBindNodeExt::onSetMaterial : Missing matExt->Node");
            return false;
        }
        m_data = keFindBindNodeData(record->node);
        if (!m_data) {
            printMessage(KE_ERROR, "CKeEffectBindNodeExt::onSetMaterial : Missing IKeSceneNodeExt");
            return false;
        }
        return true;
    }
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&data)[8]) override {
        static const c8* const names[] = {"CubeMapPosition", "CubeMapAABBPosition", "CubeMapAABBScale"};
        for (u8 i = 0; i < 3; ++i)
            if (!std::strcmp(c.semantic, names[i])) {
                data[0] = i;
                return &send;
            }
        return nullptr;
    }
    static bool send(IKeEffectBind* b, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter&) {
        auto* self = static_cast<CKeEffectBindNodeExt*>(b);
        f32 v[3][3] = {};
        if (self->m_data) self->m_data->getBindCubeMap(v[0], v[1], v[2]);
        return keSendFloats(s, c, v[c.data[0]], 3);
    }
    IKeBindNodeData* m_data = nullptr;
};

// --- the last frame -----------------------------------------------------------------------------

class CKeEffectBindLastFrameInfo : public CKeBindBase {
public:
    using CKeBindBase::CKeBindBase;
    const c8* getBindName() const override { return "CKeEffectBindLastFrameInfo"; }
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&data)[8]) override {
        static const c8* const names[] = {"PrevView", "PrevViewInverse", "PrevProjection", "PrevViewProjection",
                                          "ViewInversePrevViewProjection"};
        if (!std::strcmp(c.semantic, "Fps")) {
            data[0] = 5;
            return &send;
        }
        for (u8 i = 0; i < 5; ++i) {
            const size_t n = std::strlen(names[i]);
            if (std::strncmp(c.semantic, names[i], n) != 0) continue;
            const c8* rest = c.semantic + n;
            if (*rest && std::strcmp(rest, "Transpose") != 0) continue;
            data[0] = i;
            data[1] = *rest ? 1 : 0;
            return &send;
        }
        return nullptr;
    }
    static bool send(IKeEffectBind* b, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter&) {
        const KeEffectBindContext* ctx = static_cast<CKeBindBase*>(b)->m_ctx.get();
        static const KeLastFrameInfo none;
        const KeLastFrameInfo& last = ctx ? ctx->lastFrame : none;
        if (c.data[0] == 5) return keSendFloats(s, c, &last.fps, 1);
        core::matrix4 m;
        switch (c.data[0]) {
            case 0: m = last.view; break;
            case 1: m = CKeEffectBindTransform::inverse(last.view); break;
            case 2: m = last.projection; break;
            case 3: m = last.projection * last.view; break;
            default: {
                video::IVideoDriver* d = driverOf(s);
                const core::matrix4 view = d ? d->getTransform(video::ETS_VIEW) : core::matrix4();
                m = last.projection * last.view * CKeEffectBindTransform::inverse(view);
                break;
            }
        }
        return keSendMatrix(s, c, m.pointer(), c.data[1] != 0);
    }
};

// --- scene objects ------------------------------------------------------------------------------

class CKeEffectBindObject : public CKeBindBase {
public:
    using CKeBindBase::CKeBindBase;
    const c8* getBindName() const override { return "CKeEffectBindObject"; }
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&data)[8]) override {
        static const c8* const prefixes[] = {"ObjectPos", "ObjectRot", "ObjectScale", "ObjectTrans", "ObjectInvTrans"};
        for (u8 k = 0; k < 5; ++k) {
            const s32 n = indexAfter(c.semantic, prefixes[k]);
            if (n < 0) continue;
            putData(data, n);
            data[4] = k;
            return &send;
        }
        return nullptr;
    }
    static bool send(IKeEffectBind* b, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter&) {
        auto* self = static_cast<CKeEffectBindObject*>(b);
        scene::ISceneManager* sm = self->sceneManager();
        const s32 n = getData<s32>(c);
        scene::ISceneNode* node = nullptr;
        if (sm) {
            s32 seen = 0;
            const core::list<scene::ISceneNode*>& children = sm->getRootSceneNode()->getChildren();
            for (auto it = children.begin(); it != children.end() && !node; ++it) {
                const s32 t = (*it)->getType();
                if ((t == scene::ESNT_MESH || t == scene::ESNT_ANIMATED_MESH || t == s32(keFourCC("morp"))) &&
                    seen++ == n)
                    node = *it;
            }
        }
        if (!node) {
            logOnce(c, "CKeEffectBindObject : Object index %d not found ", n);
            return true;
        }
        SKeFxConstBind byName = c;
        byName.registerIndex = -1;
        switch (c.data[4]) {
            case 0: return sendVector(s, byName, node->getAbsolutePosition(), 1.0f);
            case 1: return sendVector(s, byName, node->getAbsoluteTransformation().getRotationDegrees(), 0.0f);
            case 2: {
                const core::vector3df sc = node->getAbsoluteTransformation().getScale();
                const f32 v[3] = {sc.X, sc.Y, sc.Z};
                return keSendFloats(s, byName, v, 3);
            }
            case 3: return keSendMatrix(s, c, node->getAbsoluteTransformation().pointer(), false);
            default: {
                const core::matrix4 inv = CKeEffectBindTransform::inverse(node->getAbsoluteTransformation());
                return keSendMatrix(s, c, inv.pointer(), false);
            }
        }
    }
};

// --- the generic bind ---------------------------------------------------------------------------

class CKeEffectBind : public IKeEffectBind {
public:
    const c8* getBindName() const override { return "CKeEffectBind"; }
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&)[8]) override {
        return c.type >= KE_FXP_BOOL && c.type <= KE_FXP_INT ? &send : nullptr;
    }
    static bool send(IKeEffectBind*, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter& cell) {
        switch (c.type) {
            case KE_FXP_BOOL: {
                const f32 v = cell.asBool() ? 1.0f : 0.0f;
                return keSendFloats(s, c, &v, 1);
            }
            case KE_FXP_INT: {
                const f32 v = f32(cell.asInt());
                return keSendFloats(s, c, &v, 1);
            }
            case KE_FXP_FLOAT4X4: return keSendMatrix(s, c, cell.floats(), false);
            default: return keSendFloats(s, c, cell.floats(), s32(c.floatCount));
        }
    }
};

// --- semantic maps ------------------------------------------------------------------------------

class CKeEffectBindSemanticMap : public IKeEffectBindSemanticMap {
public:
    struct Value {
        s32 type;
        u32 count;
        f32 values[16];
    };
    const c8* getBindName() const override { return "CKeEffectBindSemanticMap"; }
    bool addSemantic(const c8* name, s32 type) override {
        if (!name || type < KE_FXP_FLOAT || type > KE_FXP_FLOAT4X4) return false;
        static const u32 counts[] = {1, 2, 3, 4, 16};
        Value v{type, counts[type - KE_FXP_FLOAT], {}};
        return m_values.emplace(name, v).second;
    }
    bool setFloat(const c8* name, f32 value) override {
        Value* v = find(name);
        if (!v) return false;
        v->values[0] = value;
        return true;
    }
    bool setValues(const c8* name, const void* data, u32 bytes) override {
        Value* v = find(name);
        if (!v || (!data && bytes)) return false;
        std::memcpy(v->values, data, bytes < sizeof(v->values) ? bytes : sizeof(v->values));
        return true;
    }
    KeBindFunction getBindFunction(const SKeFxConstBind& c, u8 (&data)[8]) override {
        if (c.type < KE_FXP_FLOAT || c.type > KE_FXP_FLOAT4X4) return nullptr;
        if (c.stage != KE_STAGE_VERTEX && c.stage != KE_STAGE_FRAGMENT) return nullptr;
        Value* v = find(c.semantic);
        if (!v) return nullptr;
        putData(data, v);
        return &send;
    }
    static bool send(IKeEffectBind*, video::IMaterialRendererServices* s, const SKeFxConstBind& c, const SKeFxParameter&) {
        const Value* v = getData<const Value*>(c);
        return keSendFloats(s, c, v->values, s32(v->count));
    }

private:
    Value* find(const c8* name) {
        if (!name) return nullptr;
        auto it = m_values.find(name);
        return it == m_values.end() ? nullptr : &it->second;
    }
    std::map<std::string, Value> m_values;  // node-based: bind data points at a value for good
};

}  // namespace

void keBuildLightBlock(const video::IVideoDriver* driver, KeLightBlock& block) {
    block = KeLightBlock();
    if (!driver) return;
    const u32 n = driver->getDynamicLightCount();
    static const video::E_LIGHT_TYPE order[3] = {video::ELT_DIRECTIONAL, video::ELT_POINT, video::ELT_SPOT};
    u32 used = 0;
    for (int kind = 0; kind < 3; ++kind) {
        block.ini[kind] = f32(used);
        for (u32 i = 0; i < n && used < 5; ++i) {
            const video::SLight& l = driver->getDynamicLight(i);
            if (l.Type != order[kind]) continue;
            KeLightBlock::Light& out = block.lights[used++];
            out.color[0] = l.DiffuseColor.r;
            out.color[1] = l.DiffuseColor.g;
            out.color[2] = l.DiffuseColor.b;
            out.position[0] = l.Position.X;
            out.position[1] = l.Position.Y;
            out.position[2] = l.Position.Z;
            out.direction[0] = l.Direction.X;
            out.direction[1] = l.Direction.Y;
            out.direction[2] = l.Direction.Z;
            if (l.Type != video::ELT_DIRECTIONAL) out.invRadiusSqr = l.Radius > 0.0f ? 1.0f / (l.Radius * l.Radius) : 0.0f;
            if (l.Type == video::ELT_SPOT) {
                // Cone angles are stored in degrees; the shader compares cosines.
                out.spotAngles[0] = std::cos(l.InnerCone * core::DEGTORAD);
                out.spotAngles[1] = std::cos(l.OuterCone * core::DEGTORAD);
            }
            block.num[kind] += 1.0f;
        }
    }
}

core::array<IKeEffectBind*> keCreateBuiltinBinds(const KeEffectBindContextPtr& ctx) {
    core::array<IKeEffectBind*> binds;
    binds.push_back(new CKeEffectBindTransform(ctx));
    binds.push_back(new CKeEffectBindTime(ctx));
    binds.push_back(new CKeEffectBindScreen(ctx));
    binds.push_back(new CKeEffectBindLightwave(ctx));
    binds.push_back(new CKeEffectBindLightwaveHV(ctx));
    binds.push_back(new CKeEffectBindLightParams(ctx));
    binds.push_back(new CKeEffectBindLight(ctx));
    binds.push_back(new CKeEffectBindCamera(ctx));
    binds.push_back(new CKeEffectBindNodeExt(ctx));
    binds.push_back(new CKeEffectBindLastFrameInfo(ctx));
    binds.push_back(new CKeEffectBindObject(ctx));
    binds.push_back(new CKeEffectBind());
    return binds;
}

IKeEffectBindSemanticMap* keCreateSemanticMap() { return new CKeEffectBindSemanticMap(); }

}  // namespace kolm
