// libFuzzer target for KF_Load's parsing (both forms, detection first), followed by every
// reader of the loaded tree and a trip through both writers, which must load back.
#include "core/KeError.h"
#include "kf/KF_Channel.h"
#include "kf/KF_Document.h"
#include "kf/KF_Writer.h"

#include <cstdint>
#include <cstdlib>
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
        if (!again) std::abort();  // the binary writer's output must always load
        KF_Free(again);
    }
    if (KF_WriteText(KF_Root(doc), &out, &error)) {
        KF_Document* again = KF_LoadMemory(out.data(), out.size());
        if (!again) std::abort();  // so must the text writer's
        KF_Free(again);
    }
    KF_Free(doc);
    return 0;
}
