// kolm-kf: checks, converts and inspects KF scene documents for people who author scenes.
//
//   kolm-kf check FILE
//   kolm-kf convert IN OUT          (OUT ending in ".bin": binary form, else text form)
//   kolm-kf get FILE PATH
//   kolm-kf sample FILE PATH FRAME [--hpb]
//
// Exit status: 0 done, 1 the document or the request failed, 2 wrong command line.
#include "core/KeError.h"
#include "kf/KF_Channel.h"
#include "kf/KF_Document.h"
#include "kf/KF_Writer.h"
#include "kf/kfile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kUsage[] =
    "usage: kolm-kf COMMAND ...\n"
    "\n"
    "  check FILE                  load FILE (text or binary form); exit 0 when it loads, 1 when\n"
    "                              it does not, printing only the loader's own messages\n"
    "  convert IN OUT              write IN to OUT, in the binary form when OUT ends in \".bin\",\n"
    "                              else in the text form (strings always quoted)\n"
    "  get FILE PATH               print the node at PATH: type, count, then the values on one\n"
    "                              line (integers in decimal, floats with %.9g, a string as it is,\n"
    "                              a channel as its decoded samples); one line per array element;\n"
    "                              a group prints NODE, its number of children and their names\n"
    "  sample FILE PATH FRAME [--hpb]\n"
    "                              print the value at a fractional FRAME: one float for an FP\n"
    "                              value or a channel, two or three for a channel array of two or\n"
    "                              three elements; with --hpb the XYZ Euler angles (radians) of a\n"
    "                              heading, pitch, bank rotation\n"
    "\n"
    "PATH is the names of groups and values below the root joined by \"/\", the first match at\n"
    "each step (\"Scene/Object/Position\").\n"
    "Exit status: 0 done, 1 the document or the request failed, 2 wrong command line.\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// Library messages go to standard output exactly as the library words them.
void printLogLine(const char* line, void*) {
    std::fputs(line, stdout);
    const size_t n = std::strlen(line);
    if (n == 0 || line[n - 1] != '\n') std::fputc('\n', stdout);
    std::fflush(stdout);
}

struct DocGuard {
    KF_Document* doc;
    ~DocGuard() { KF_Free(doc); }
};

KF_Node* resolve(KF_Document* doc, const char* path) {
    KF_Node* node = KF_Root(doc);
    std::string rest = path;
    if (rest.empty()) return nullptr;
    size_t start = 0;
    for (;;) {
        const size_t slash = rest.find('/', start);
        const std::string name = rest.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        node = KF_Find(node, name.c_str());
        if (!node) return nullptr;
        if (slash == std::string::npos) return node;
        start = slash + 1;
    }
}

void printFloat(float f) { std::printf("%.9g", static_cast<double>(f)); }

void printData(int32_t type, int32_t count, const void* data) {
    std::printf("%s %d", KF_TypeName(type), count);
    if (type == KF_STR) {
        std::fputc(' ', stdout);
        std::fwrite(data, 1, size_t(count), stdout);
    } else if (type == KF_FP_C) {
        KF_Cursor cursor = {static_cast<const uint32_t*>(data), 0};
        for (int32_t i = 0; i < count; ++i) {
            std::fputc(' ', stdout);
            printFloat(KF_ChannelSample(data, uint32_t(i), &cursor));
        }
    } else {
        for (int32_t i = 0; i < count; ++i) {
            uint32_t w;
            std::memcpy(&w, static_cast<const char*>(data) + 4 * size_t(i), 4);
            std::fputc(' ', stdout);
            if (type == KF_I4) {
                std::printf("%d", static_cast<int32_t>(w));
            } else if (type == KF_U4) {
                std::printf("%u", w);
            } else {
                float f;
                std::memcpy(&f, &w, 4);
                printFloat(f);
            }
        }
    }
    std::fputc('\n', stdout);
}

int cmdGet(KF_Document* doc, const char* path) {
    const KF_Node* node = resolve(doc, path);
    if (!node) {
        std::printf("kolm-kf: no value at %s\n", path);
        return 1;
    }
    if (node->kind == KF_NODE) {
        std::printf("NODE %d", node->a);
        for (int32_t i = 0; i < node->a; ++i) std::printf(" %s", node->children[i]->name);
        std::fputc('\n', stdout);
    } else if (node->kind == KF_VALUE) {
        printData(node->a, node->b, node->data);
    } else {
        for (int32_t i = 0; i < node->b; ++i) printData(node->a, node->elements[i].count, node->elements[i].data);
    }
    return 0;
}

int cmdSample(KF_Document* doc, const char* path, const char* frameText, bool hpb) {
    char* end = nullptr;
    errno = 0;
    const float frame = std::strtof(frameText, &end);
    if (end == frameText || *end != '\0') {
        std::printf("kolm-kf: not a frame number: %s\n", frameText);
        return 1;
    }
    const KF_Node* node = resolve(doc, path);
    if (!node) {
        std::printf("kolm-kf: no value at %s\n", path);
        return 1;
    }
    const bool value = node->kind == KF_VALUE && (node->a == KF_FP || node->a == KF_FP_C);
    const bool channels = node->kind == KF_ARRAY && node->a == KF_FP_C && (node->b == 2 || node->b == 3);
    if (hpb) {
        if (!(node->kind == KF_VALUE && node->a == KF_FP) && !(channels && node->b == 3)) {
            std::printf("kolm-kf: %s is not a rotation (an FP triple or three FP_C channels)\n", path);
            return 1;
        }
        const KF_FP3 r = KF_FP3_Slerp_HPB_To_XYZ(node, frame);
        std::printf("%.9g %.9g %.9g\n", double(r.x), double(r.y), double(r.z));
    } else if (value) {
        printFloat(KF_FP_Lerp(node, frame));
        std::fputc('\n', stdout);
    } else if (channels && node->b == 2) {
        const KF_FP2 v = KF_FP2_Lerp(node, frame);
        std::printf("%.9g %.9g\n", double(v.x), double(v.y));
    } else if (channels) {
        const KF_FP3 v = KF_FP3_Lerp(node, frame);
        std::printf("%.9g %.9g %.9g\n", double(v.x), double(v.y), double(v.z));
    } else {
        std::printf("kolm-kf: %s cannot be sampled (an FP or FP_C value, or two or three FP_C channels)\n", path);
        return 1;
    }
    return 0;
}

bool endsWith(const std::string& s, const char* tail) {
    const size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

int cmdConvert(KF_Document* doc, const char* outPath) {
    std::string bytes, error;
    const bool binary = endsWith(outPath, ".bin");
    const bool ok = binary ? KF_WriteBinary(KF_Root(doc), &bytes, &error) : KF_WriteText(KF_Root(doc), &bytes, &error);
    if (!ok) {
        std::printf("kolm-kf: cannot write %s in the %s form: %s\n", outPath, binary ? "binary" : "text", error.c_str());
        return 1;
    }
    FILE* f = std::fopen(outPath, "wb");
    if (!f) {
        std::printf("kolm-kf: cannot open %s for writing: %s\n", outPath, std::strerror(errno));
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written) {
        std::printf("kolm-kf: cannot write %s: %s\n", outPath, std::strerror(errno));
        std::remove(outPath);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 3) return usage();
    const std::string cmd = argv[1];
    const bool hpb = argc == 6 && !std::strcmp(argv[5], "--hpb");
    const bool known = (cmd == "check" && argc == 3) || (cmd == "convert" && argc == 4) ||
                       (cmd == "get" && argc == 4) || (cmd == "sample" && (argc == 5 || hpb));
    if (!known) return usage();

    kolm::keSetLogSink(printLogLine, nullptr);
    kfile_use_std();
    DocGuard guard{KF_Load(argv[2])};
    if (!guard.doc) {
        // A file that cannot be read gives no message from the loader. check stays silent
        // beyond the loader's messages (its exit status says it); the others say why.
        if (cmd != "check") std::printf("kolm-kf: cannot load %s\n", argv[2]);
        return 1;
    }
    if (cmd == "check") return 0;
    if (cmd == "convert") return cmdConvert(guard.doc, argv[3]);
    if (cmd == "get") return cmdGet(guard.doc, argv[3]);
    return cmdSample(guard.doc, argv[3], argv[4], hpb);
}
