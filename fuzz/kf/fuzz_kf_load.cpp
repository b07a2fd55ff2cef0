// libFuzzer target for KF_Load's parsing (both forms, detection first), followed by every
// reader of the loaded tree and a trip through both writers, which must load back.
#include "core/KeError.h"
#include "kf/KF_Channel.h"
#include "kf/KF_Document.h"
#include "kf/KF_Writer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void exercise(const KF_Node* n) {
    KF_GetFP3(n, 0);
    KF_GetFP3(n, 7);
    KF_GetFP2(n, -1);
    if (n->kind == KF_VALUE) KF_FP_Lerp(n, 2.5f);
    if (n->kind == KF_ARRAY) {
        KF_FP2_Lerp(n, 1.5f);
        KF_FP3_Lerp(n, 1e30f);
        KF_FP3_Slerp_HPB_To_XYZ(n, 0.25f);
    }
}

bool sameFloat(uint32_t a, uint32_t b) {
    const bool nanA = (a & 0x7F800000u) == 0x7F800000u && (a & 0x007FFFFFu);
    const bool nanB = (b & 0x7F800000u) == 0x7F800000u && (b & 0x007FFFFFu);
    return nanA || nanB ? nanA == nanB : a == b;  // the text form keeps NaN, not its payload
}

bool sameData(int32_t type, int32_t count, const void* a, const void* b) {
    if (type == KF_STR) return std::memcmp(a, b, size_t(count)) == 0;
    KF_Cursor ca = {static_cast<const uint32_t*>(a), 0}, cb = {static_cast<const uint32_t*>(b), 0};
    // A few bytes of input can code billions of samples: compare the first ones and the last.
    const int32_t limit = type == KF_FP_C && count > 4096 ? 4096 : count;
    for (int32_t j = 0; j <= limit; ++j) {
        const int32_t i = j < limit ? j : count - 1;
        if (i < 0 || (j == limit && limit == count)) break;
        uint32_t wa, wb;
        if (type == KF_FP_C) {
            const float fa = KF_ChannelSample(a, uint32_t(i), &ca), fb = KF_ChannelSample(b, uint32_t(i), &cb);
            std::memcpy(&wa, &fa, 4);
            std::memcpy(&wb, &fb, 4);
        } else {
            std::memcpy(&wa, static_cast<const char*>(a) + 4 * size_t(i), 4);
            std::memcpy(&wb, static_cast<const char*>(b) + 4 * size_t(i), 4);
        }
        if (type == KF_FP || type == KF_FP_C ? !sameFloat(wa, wb) : wa != wb) return false;
    }
    return true;
}

// The reloaded tree must equal the original: shape, names and data.
bool sameTree(const KF_Node* a, const KF_Node* b) {
    if (std::strcmp(a->name, b->name) || a->kind != b->kind || a->a != b->a || a->b != b->b) return false;
    if (a->kind == KF_NODE) {
        for (int32_t i = 0; i < a->a; ++i)
            if (!sameTree(a->children[i], b->children[i])) return false;
        return true;
    }
    if (a->kind == KF_VALUE) return sameData(a->a, a->b, a->data, b->data);
    for (int32_t i = 0; i < a->b; ++i) {
        if (a->elements[i].count != b->elements[i].count) return false;
        if (!sameData(a->a, a->elements[i].count, a->elements[i].data, b->elements[i].data)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        kolm::keSetLogSink([](const char*, void*) {}, nullptr);
        return true;
    }();
    (void)quiet;
    KF_Document* doc = KF_LoadMemory(data, size);
    if (!doc) return 0;
    for (int32_t i = 0; i < doc->nodeCount; ++i) exercise(&doc->nodes[i]);
    std::string out, error;
    if (KF_WriteBinary(KF_Root(doc), &out, &error)) {
        KF_Document* again = KF_LoadMemory(out.data(), out.size());
        if (!again || !sameTree(KF_Root(doc), KF_Root(again))) std::abort();  // must load back the same
        KF_Free(again);
    }
    if (KF_WriteText(KF_Root(doc), &out, &error)) {
        KF_Document* again = KF_LoadMemory(out.data(), out.size());
        if (!again || !sameTree(KF_Root(doc), KF_Root(again))) std::abort();  // so must the text writer's
        KF_Free(again);
    }
    KF_Free(doc);
    return 0;
}
