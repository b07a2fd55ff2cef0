// KF figures: text parsing and binary loading throughput, channel sampling per call.
#include "core/KeError.h"
#include "kf/KF_Channel.h"
#include "kf/KF_Document.h"
#include "kf/KF_Writer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

namespace {

// A large exported-looking scene: objects with settings and position, rotation and scale
// channels of a few hundred frames, constant components run-length coded.
const std::string& sceneText() {
    static const std::string text = [] {
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> u(-100.0f, 100.0f);
        std::string t = "{ Scene\n  FirstFrame I4 0\n  LastFrame I4 299\n  FramesPerSecond FP 30\n";
        char b[64];
        for (int o = 0; o < 600; ++o) {
            t += "  { Object\n    Name STR \"object_" + std::to_string(o) + ".x\"\n";
            t += "    Flags U4 1 0 3\n    Pivot FP 0 0.5 -1.25\n";
            for (const char* ch : {"Position", "Rotation", "Scale"}) {
                t += "    " + std::string(ch) + " FP_C [\n";
                for (int c = 0; c < 3; ++c) {
                    if ((o + c) % 3 == 0) {
                        std::snprintf(b, sizeof b, "      RUN 300 %.9g\n", double(u(rng)));
                        t += b;
                        continue;
                    }
                    t += "      DAT 300";
                    float v = u(rng);
                    for (int f = 0; f < 300; ++f) {
                        v += u(rng) * 0.01f;
                        std::snprintf(b, sizeof b, " %.9g", double(v));
                        t += b;
                    }
                    t += "\n";
                }
                t += "    ]\n";
            }
            t += "  }\n";
        }
        return t + "}\n";
    }();
    return text;
}

const std::string& sceneBinary() {
    static const std::string bin = [] {
        KF_Document* doc = KF_LoadMemory(sceneText().data(), sceneText().size());
        std::string out, error;
        KF_WriteBinary(KF_Root(doc), &out, &error);
        KF_Free(doc);
        return out;
    }();
    return bin;
}

void BM_TextParse(benchmark::State& state) {
    const std::string& text = sceneText();
    for (auto _ : state) {
        KF_Document* doc = KF_LoadMemory(text.data(), text.size());
        benchmark::DoNotOptimize(doc);
        KF_Free(doc);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
    state.counters["MB"] = double(text.size()) / 1e6;
}
BENCHMARK(BM_TextParse)->Unit(benchmark::kMillisecond);

void BM_BinaryLoad(benchmark::State& state) {
    const std::string& bin = sceneBinary();
    for (auto _ : state) {
        KF_Document* doc = KF_LoadMemory(bin.data(), bin.size());  // includes copying the bytes
        benchmark::DoNotOptimize(doc);
        KF_Free(doc);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bin.size()));
    state.counters["MB"] = double(bin.size()) / 1e6;
}
BENCHMARK(BM_BinaryLoad)->Unit(benchmark::kMillisecond);

// Channels: one DAT block of 300 frames (typical export), and a channel of 40 mixed blocks
// sampled near its end (the walk's worst case for its size).
struct Channels {
    KF_Document* doc;
    const KF_Node* dat;
    const KF_Node* mixed;
    const KF_Node* vec;
    const KF_Node* rot;
    const KF_Node* smooth;
    Channels() {
        std::string frames = "DAT 300";
        for (int i = 0; i < 300; ++i) frames += " " + std::to_string(i * 0.5);
        std::string t = "dat FP_C " + frames + "\nmixed FP_C";
        for (int b = 0; b < 20; ++b) t += " RUN 5 " + std::to_string(b) + " DAT 3 1 2 3";
        t += "\nvec FP_C [\n" + frames + "\nRUN 300 1\nDAT 2 0 1\n]\n";
        t += "rot FP_C [\nDAT 3 0.1 0.5 2.9\nDAT 3 0 0.2 -0.3\nRUN 3 0.7\n]\n";
        // An exported turn: small steps from frame to frame.
        std::string h = "DAT 300", p = "DAT 300";
        for (int i = 0; i < 300; ++i) {
            h += " " + std::to_string(i * 0.02);
            p += " " + std::to_string(0.3 * std::sin(i * 0.05));
        }
        t += "smooth FP_C [\n" + h + "\n" + p + "\nRUN 300 0.1\n]\n";
        doc = KF_LoadMemory(t.data(), t.size());
        dat = KF_Find(KF_Root(doc), "dat");
        mixed = KF_Find(KF_Root(doc), "mixed");
        vec = KF_Find(KF_Root(doc), "vec");
        rot = KF_Find(KF_Root(doc), "rot");
        smooth = KF_Find(KF_Root(doc), "smooth");
    }
    ~Channels() { KF_Free(doc); }
};
const Channels& channels() {
    static const Channels c;
    return c;
}

void BM_LerpTypical(benchmark::State& state) {
    const KF_Node* n = channels().dat;
    float f = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(KF_FP_Lerp(n, f));
        f += 0.37f;
        if (f > 299.0f) f = 0.0f;
    }
}
BENCHMARK(BM_LerpTypical);

void BM_LerpMixedBlocksNearEnd(benchmark::State& state) {
    const KF_Node* n = channels().mixed;
    for (auto _ : state) benchmark::DoNotOptimize(KF_FP_Lerp(n, 157.5f));
}
BENCHMARK(BM_LerpMixedBlocksNearEnd);

void BM_FP3Lerp(benchmark::State& state) {
    const KF_Node* n = channels().vec;
    float f = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(KF_FP3_Lerp(n, f));
        f += 0.37f;
        if (f > 299.0f) f = 0.0f;
    }
}
BENCHMARK(BM_FP3Lerp);

// Keys far apart: every blend takes the spherical branch (acos and three sines).
void BM_SlerpHPB(benchmark::State& state) {
    const KF_Node* n = channels().rot;
    float f = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(KF_FP3_Slerp_HPB_To_XYZ(n, f));
        f += 0.13f;
        if (f > 2.0f) f = 0.0f;
    }
}
BENCHMARK(BM_SlerpHPB);

void BM_SlerpHPBSmooth(benchmark::State& state) {
    const KF_Node* n = channels().smooth;
    float f = 0.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(KF_FP3_Slerp_HPB_To_XYZ(n, f));
        f += 0.37f;
        if (f > 299.0f) f = 0.0f;
    }
}
BENCHMARK(BM_SlerpHPBSmooth);

}  // namespace
