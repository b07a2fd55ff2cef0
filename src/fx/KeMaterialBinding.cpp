#include "fx/KeMaterialBinding.h"

#include "core/KeAssert.h"

#include <vector>

namespace kolm {

using namespace irr;

namespace {

// Slot 0 is never handed out. Freed slots are reused, lowest last freed first.
std::vector<KeMaterialBinding*> g_records(1, nullptr);
std::vector<u32> g_free;
u32 g_count = 0;

constexpr u32 kMaxHandle = 1u << 24;  // MaterialTypeParam2 is a float: exact up to 2^24

u32 registerRecord(KeMaterialBinding* record) {
    ++g_count;
    if (!g_free.empty()) {
        const u32 h = g_free.back();
        g_free.pop_back();
        g_records[h] = record;
        return h;
    }
    KE_ASSERT(g_records.size() < kMaxHandle);
    g_records.push_back(record);
    return u32(g_records.size() - 1);
}

}  // namespace

KeMaterialBinding::KeMaterialBinding() : m_handle(registerRecord(this)) {}

KeMaterialBinding::KeMaterialBinding(const KeMaterialBinding& other)
    : magic(other.magic), effect(other.effect), technique(other.technique), pass(other.pass), node(other.node),
      materialIndex(other.materialIndex), m_handle(registerRecord(this)) {
    for (u32 i = 0; i < KE_MATERIAL_LAYERS; ++i) {
        layers[i] = other.layers[i];
        layerFlags[i] = other.layerFlags[i];
    }
}

KeMaterialBinding& KeMaterialBinding::operator=(const KeMaterialBinding& other) {
    if (this == &other) return *this;
    magic = other.magic;
    effect = other.effect;
    technique = other.technique;
    pass = other.pass;
    node = other.node;
    materialIndex = other.materialIndex;
    for (u32 i = 0; i < KE_MATERIAL_LAYERS; ++i) {
        layers[i] = other.layers[i];
        layerFlags[i] = other.layerFlags[i];
    }
    return *this;
}

KeMaterialBinding::~KeMaterialBinding() {
    KE_ASSERT(m_handle < g_records.size() && g_records[m_handle] == this);
    g_records[m_handle] = nullptr;
    g_free.push_back(m_handle);
    --g_count;
}

KeMaterialBinding* keFindMaterialBinding(u32 handle) {
    return handle < g_records.size() ? g_records[handle] : nullptr;
}

KeMaterialBinding* keMaterialBindingOf(const video::SMaterial& material) {
    return keMaterialBindingOfParam(material.MaterialTypeParam2);
}

KeMaterialBinding* keMaterialBindingOfParam(f32 p) {
    if (!(p >= 1.0f) || p >= f32(kMaxHandle)) return nullptr;
    const u32 h = u32(p);
    if (f32(h) != p) return nullptr;
    return keFindMaterialBinding(h);
}

u32 keMaterialBindingCount() { return g_count; }

}  // namespace kolm
