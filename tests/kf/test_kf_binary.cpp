// Binary form and form detection: layout, counts, every rejection, and a corruption sweep.
#include "kf_test_util.h"

#include "kf/KF_Writer.h"

using namespace kftest;

namespace {

using BinaryTest = KfTest;

std::string nval(const std::string& name, uint32_t type, const std::string& data) {
    return chunk("NVAL", nameField(name) + be32(type) + data);
}

struct DetectCase {
    std::string bytes;
    bool loads;
    std::vector<std::string> messages;
};

TEST_F(BinaryTest, DetectionOrderAndItsMessages) {
    const std::string notKF = "Error, Not a KF file\n";
    const DetectCase cases[] = {
        {"", false, {"Error, file size < 12 bytes\n", notKF}},
        {"abcdefghijk", false, {"Error, file size < 12 bytes\n", notKF}},
        {form(""), true, {}},
        {"FORM" + be32(3) + "KLMF", false, {"Error, KF binary FORM size mismatch file size\n", notKF}},
        {"FORM" + be32(5) + "KLMF", false, {"Error, KF binary FORM size mismatch file size\n", notKF}},
        {"FORM" + be32(4) + "KLMX", false, {"Error, file is not KF format\n", notKF}},
        {std::string("ab\0 I4 1\n{ x\n", 13), false, {"Error, file is not KF format\n", notKF}},
        {std::string("abcdefgh\x08jk I4 1\n"), false, {"Error, file is not KF format\n", notKF}},
        {std::string("abcdefghijk\x01 I4 1\n"), false, {"Error, file is not KF format\n", notKF}},
        {"\tframe I4 1\r\n\r\n", true, {}},
        {"v I4 1\n# and \x01 after the first twelve bytes\n", true, {}},
    };
    for (const DetectCase& c : cases) {
        SCOPED_TRACE(c.bytes);
        log.clear();
        Doc d(load(c.bytes));
        EXPECT_EQ(d.doc != nullptr, c.loads);
        EXPECT_EQ(log, c.messages);
    }
}

TEST_F(BinaryTest, ChunksBecomeNodesInPlace) {
    const std::string bytes = form(
        chunk("NODE", nameField("Obj") +
                          nval("name", KF_STR, std::string("abc\0\0\0\0\0", 8)) +
                          nval("", KF_FP, beFloat(1) + beFloat(2) + beFloat(3)) +
                          chunk("NODE", nameField("Kids")) +
                          nval("ch", KF_FP_C, be32(0) + be32(100) + beFloat(0.0f)) +
                          chunk("NARR", nameField("arr") + be32(KF_I4) + chunk("AVAL", be32(7) + be32(uint32_t(-8))) +
                                            chunk("AVAL", ""))) +
        nval("four", KF_U4, be32(0xDEADBEEF)));
    Doc d(load(bytes));
    ASSERT_TRUE(d.doc);
    EXPECT_EQ(d.doc->form, 0);
    KF_Node* obj = KF_Find(d.root(), "Obj");
    ASSERT_TRUE(obj && obj->a == 5);
    KF_Node* name = KF_Find(obj, "name");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->b, 3);
    EXPECT_STREQ(static_cast<const char*>(name->data), "abc");
    KF_Node* anon = KF_Find(obj, "");
    ASSERT_TRUE(anon);
    EXPECT_EQ(anon->b, 3);
    EXPECT_EQ(words(anon->data, 3), (std::vector<uint32_t>{fbits(1), fbits(2), fbits(3)}));
    KF_Node* kids = KF_Find(obj, "Kids");
    ASSERT_TRUE(kids);
    EXPECT_EQ(kids->kind, KF_NODE);
    EXPECT_EQ(kids->a, 0);
    EXPECT_EQ(KF_Find(obj, "ch")->b, 100);
    KF_Node* arr = KF_Find(obj, "arr");
    ASSERT_TRUE(arr && arr->kind == KF_ARRAY && arr->b == 2);
    EXPECT_EQ(arr->elements[0].count, 2);
    EXPECT_EQ(static_cast<const int32_t*>(arr->elements[0].data)[1], -8);
    EXPECT_EQ(arr->elements[1].count, 0);
    KF_Node* four = KF_Find(d.root(), "four");  // a 4-byte name takes an 8-byte field
    ASSERT_TRUE(four);
    EXPECT_EQ(static_cast<const uint32_t*>(four->data)[0], 0xDEADBEEFu);
    EXPECT_TRUE(log.empty());
}

TEST_F(BinaryTest, WriterReproducesTheLayoutByteForByte) {
    // Name fields of 0, 3, 4 and 5 bytes; strings of 3 and 4 bytes; every kind of chunk.
    const std::string bytes = form(
        chunk("NODE", nameField("Obj") + nval("four", KF_U4, be32(1) + be32(2)) +
                          nval("", KF_FP, beFloat(1) + beFloat(2) + beFloat(3)) +
                          nval("abc", KF_STR, std::string("abc\0", 4)) +
                          nval("five5", KF_STR, std::string("abcd\0\0\0\0", 8)) +
                          chunk("NODE", nameField("")) +
                          chunk("NARR", nameField("arr") + be32(KF_FP_C) +
                                            chunk("AVAL", be32(0) + be32(100) + beFloat(0)) +
                                            chunk("AVAL", be32(1) + be32(2) + beFloat(4) + beFloat(5)))) +
        nval("i", KF_I4, be32(uint32_t(-3))));
    Doc d(load(bytes));
    ASSERT_TRUE(d.doc);
    std::string out, error;
    ASSERT_TRUE(KF_WriteBinary(d.root(), &out, &error)) << error;
    EXPECT_EQ(out, bytes);
}

TEST_F(BinaryTest, UnpaddedStringsLeaveLaterDataAlignedAndReadable) {
    // "ab" and its zero take 3 bytes: every chunk after it starts at an odd offset.
    const std::string bytes = form(nval("s", KF_STR, std::string("ab\0", 3)) +
                                   nval("f", KF_FP, beFloat(1.5f) + beFloat(-2.0f)) +
                                   chunk("NARR", nameField("c") + be32(KF_FP_C) +
                                                     chunk("AVAL", be32(1) + be32(2) + beFloat(3) + beFloat(4))));
    Doc d(load(bytes));
    ASSERT_TRUE(d.doc);
    KF_Node* f = KF_Find(d.root(), "f");
    ASSERT_TRUE(f);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(f->data) % 4, 0u);
    EXPECT_EQ(KF_GetFP2(f, 0).y, -2.0f);
    KF_Node* c = KF_Find(d.root(), "c");
    ASSERT_TRUE(c);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(c->elements[0].data) % 4, 0u);
    EXPECT_EQ(KF_GetFP(c, 1), 4.0f);
}

struct RejectCase {
    const char* what;
    std::string bytes;
    std::string message;
};

TEST_F(BinaryTest, MalformedChunksAreRejectedBeforeTheyAreRead) {
    std::string deep = nval("v", KF_I4, be32(1));
    for (int i = 0; i < 20; ++i) deep = chunk("NODE", nameField("g") + deep);
    const std::string good = nval("v", KF_I4, be32(1));
    const RejectCase cases[] = {
        {"unknown id", form(chunk("XXXX", "")), "unknown chunk ID 0x58585858\n"},
        {"not AVAL", form(chunk("NARR", nameField("a") + be32(KF_I4) + good)), "expected AVAL chunk, found 0x4e56414c\n"},
        {"AVAL too long",
         form(chunk("NARR", nameField("a") + be32(KF_I4) + "AVAL" + be32(8) + be32(1))),
         "exceed array size at level 0\n"},
        {"array tail", form(chunk("NARR", nameField("a") + be32(KF_I4) + chunk("AVAL", "") + "AVA")),
         "exceed array size at level 0\n"},
        {"node stops inside its child",
         form("NODE" + be32(uint32_t(4 + good.size() - 2)) + nameField("g") + good + "xx"),
         "exceed chunk size at level 1\n"},
        {"chunk past the file", form("NVAL" + be32(100) + nameField("v") + be32(0)), "exceed chunk size at level 0\n"},
        {"huge length", form("NVAL" + be32(0xFFFFFFFF) + nameField("v") + be32(0)), "exceed chunk size at level 0\n"},
        {"header tail", form(good + "NVA"), "exceed chunk size at level 0\n"},
        {"name without zero", form(chunk("NVAL", "abcd")), "name without zero byte at level 0\n"},
        {"empty NODE content", form(chunk("NODE", "")), "name without zero byte at level 0\n"},
        {"name field past content", form(chunk("NODE", std::string("abcd\0", 5))), "exceed chunk size at level 0\n"},
        {"no type code", form(chunk("NVAL", nameField("v"))), "exceed chunk size at level 0\n"},
        {"type code 5", form(nval("v", 5, be32(1))), "unknown value type 5 at level 0\n"},
        {"string without zero", form(nval("s", KF_STR, "abcd")), "string without zero byte at level 0\n"},
        {"FP_C marker 2", form(nval("c", KF_FP_C, be32(2) + be32(1) + be32(0))), "malformed FP_C channel at level 0\n"},
        {"FP_C short DAT", form(nval("c", KF_FP_C, be32(1) + be32(5) + be32(0))), "malformed FP_C channel at level 0\n"},
        {"FP_C short RUN", form(nval("c", KF_FP_C, be32(0) + be32(5))), "malformed FP_C channel at level 0\n"},
        {"FP_C word left", form(nval("c", KF_FP_C, be32(0) + be32(5) + be32(0) + be32(0))),
         "malformed FP_C channel at level 0\n"},
        {"FP_C count overflow",
         form(chunk("NODE", nameField("g") + nval("c", KF_FP_C, be32(0) + be32(0x7FFFFFFF) + be32(0) + be32(0) +
                                                                 be32(1) + be32(0)))),
         "malformed FP_C channel at level 1\n"},
        {"FP_C element", form(chunk("NARR", nameField("a") + be32(KF_FP_C) + chunk("AVAL", be32(1) + be32(1)))),
         "malformed FP_C channel at level 0\n"},
        {"too deep", form(deep), "groups nested deeper than 20 levels at level 19\n"},
    };
    for (const RejectCase& c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        KF_Document* doc = load(c.bytes);
        EXPECT_EQ(doc, nullptr);
        KF_Free(doc);
        EXPECT_EQ(log, std::vector<std::string>{c.message});
    }
}

// A document with every node kind and value type, as the binary writer lays it out.
std::string sampleBinary() {
    const char* text =
        "{ Scene\n"
        "  frameStart I4 0\n"
        "  fps FP 30\n"
        "  { Object\n"
        "    name STR \"a box\"\n"
        "    flags U4 1 2 3\n"
        "    pos FP_C [\n"
        "      RUN 5 1\n"
        "      DAT 3 1 2 3 RUN 2 4\n"
        "      DAT 1 9\n"
        "    ]\n"
        "    tags STR [\n"
        "      \"x\"\n"
        "    ]\n"
        "  }\n"
        "}\n"
        "tail FP_C DAT 2 0 10\n";
    KF_Document* doc = KF_LoadMemory(text, std::strlen(text));
    std::string out, error;
    EXPECT_TRUE(doc && KF_WriteBinary(KF_Root(doc), &out, &error)) << error;
    KF_Free(doc);
    return out;
}

TEST_F(BinaryTest, CorruptionSweepNeverCrashes) {
    const std::string good = sampleBinary();
    ASSERT_GT(good.size(), 100u);
    { Doc d(load(good)); ASSERT_TRUE(d.doc); }
    // Every truncation, with the FORM size both left alone and fixed up to pass detection.
    for (size_t n = 0; n < good.size(); ++n) {
        std::string cut = good.substr(0, n);
        Doc a(load(cut));
        EXPECT_EQ(a.doc, nullptr) << n;
        if (n >= 12) {
            const std::string size = be32(uint32_t(n - 8));
            cut.replace(4, 4, size);
            Doc b(load(cut));  // may load when the cut falls between chunks
        }
    }
    // Every single byte set to a few telling values: must load or fail, never crash.
    for (size_t i = 0; i < good.size(); ++i) {
        for (unsigned v : {0x00u, 0x01u, 0x04u, 0x7Fu, 0x80u, 0xFFu}) {
            std::string bad = good;
            bad[i] = char(v);
            Doc d(load(bad));
            if (d.doc) {
                // Whatever loaded must answer queries without reading outside itself.
                for (int32_t k = 0; k < d.doc->nodeCount; ++k) {
                    const KF_Node* node = &d.doc->nodes[k];
                    KF_GetFP3(node, 3);
                    if (node->kind == KF_ARRAY && node->b == 3) KF_FP3_Slerp_HPB_To_XYZ(node, 2.5f);
                    if (node->kind == KF_VALUE) KF_FP_Lerp(node, 1.5f);
                }
            }
        }
    }
}

}  // namespace
