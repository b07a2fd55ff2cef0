// Writers and the equivalence of the two forms: generated trees are written in both forms and
// every reader must answer identically; trees a form cannot carry are refused.
#include "kf_test_util.h"

#include "kf/KF_Writer.h"

#include <random>

using namespace kftest;

namespace {

using RoundTripTest = KfTest;

// A random scene-like text document: nested groups, values and arrays of every type, names
// that repeat, channels of mixed blocks, odd floats.
std::string generate(unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const char* names[] = {"pos", "rot", "scl", "name", "Light", "a", "b", "x_1", "Obj"};
    const float floats[] = {0.0f, -0.0f, 1.0f, 0.1f, -2.5e-7f, 3.4e38f, 1e-40f, 6.2831853f, -1234.5f};
    auto fp = [&]() {
        char b[32];
        std::snprintf(b, sizeof b, "%.9g", pick(3) ? floats[pick(9)] : float(rng()) / float(rng() | 1));
        return std::string(b);
    };
    auto data = [&](int type) {
        std::string s;
        const int n = 1 + pick(5);
        if (type == KF_STR) return std::string(pick(2) ? "\"quoted  text \"" : "plain text") + (pick(2) ? "  " : "");
        if (type == KF_FP_C) {
            for (int i = 0; i < n; ++i) {
                const int count = pick(6) + (i == 0);  // some empty blocks, never an empty channel
                if (pick(2)) {
                    s += " RUN " + std::to_string(count) + " " + fp();
                } else {
                    s += " DAT " + std::to_string(count);
                    for (int k = 0; k < count; ++k) s += " " + fp();
                }
            }
            return s.substr(1);
        }
        for (int i = 0; i < n; ++i) {
            if (i) s += pick(2) ? " " : "\t ";
            if (type == KF_I4) s += std::to_string(int32_t(rng()));
            if (type == KF_U4) s += std::to_string(uint32_t(rng()));
            if (type == KF_FP) s += fp();
        }
        return s;
    };
    std::string text;
    int depth = 0;
    for (int line = 0; line < 120; ++line) {
        const int what = pick(10);
        if (what == 0 && depth < 6) {
            text += "{ " + std::string(names[pick(9)]) + "\n";
            ++depth;
        } else if (what == 1 && depth > 0) {
            text += "}\n";
            --depth;
        } else {
            const int type = pick(5);
            text += std::string(names[pick(9)]) + " " + KF_TypeName(type) + " ";
            if (what < 4) {
                text += "[\n";
                const int elements = pick(4) ? 3 : pick(5);
                for (int e = 0; e < elements; ++e) text += "  " + data(type) + "\n";
                text += "]\n";
            } else {
                text += data(type) + "\n";
            }
        }
    }
    return text;
}

// Every node of `a` and `b` alike: shape, names, data, and the answers of every reader.
void expectSameTree(const KF_Node* a, const KF_Node* b) {
    ASSERT_STREQ(a->name, b->name);
    ASSERT_EQ(a->kind, b->kind);
    ASSERT_EQ(a->a, b->a);
    ASSERT_EQ(a->b, b->b);
    SCOPED_TRACE(a->name);
    const float frames[] = {-1.0f, 0.0f, 0.5f, 1.0f, 2.75f, 7.0f, 1e9f};
    for (int index : {-1, 0, 1, 4, 100}) {
        const KF_FP3 x = KF_GetFP3(a, index), y = KF_GetFP3(b, index);
        EXPECT_EQ(fbits(x.x), fbits(y.x));
        EXPECT_EQ(fbits(x.y), fbits(y.y));
        EXPECT_EQ(fbits(x.z), fbits(y.z));
    }
    if (a->kind == KF_NODE) {
        for (int32_t i = 0; i < a->a; ++i) {
            // The same first match for every name.
            auto position = [](const KF_Node* group, const KF_Node* found) {
                for (int32_t k = 0; k < group->a; ++k)
                    if (group->children[k] == found) return k;
                return -1;
            };
            const KF_Node* fa = KF_Find(const_cast<KF_Node*>(a), a->children[i]->name);
            const KF_Node* fb = KF_Find(const_cast<KF_Node*>(b), a->children[i]->name);
            EXPECT_EQ(position(a, fa), position(b, fb));
            EXPECT_LE(position(a, fa), i);
            expectSameTree(a->children[i], b->children[i]);
        }
        return;
    }
    auto sameData = [&](int32_t count, const void* da, const void* db) {
        if (a->a == KF_STR) {
            EXPECT_EQ(std::string(static_cast<const char*>(da), size_t(count)),
                      std::string(static_cast<const char*>(db), size_t(count)));
        } else if (a->a != KF_FP_C) {
            EXPECT_EQ(words(da, size_t(count)), words(db, size_t(count)));
        } else {
            for (int32_t i = 0; i < count; ++i) {
                KF_Cursor ca = {static_cast<const uint32_t*>(da), 0}, cb = {static_cast<const uint32_t*>(db), 0};
                EXPECT_EQ(fbits(KF_ChannelSample(da, uint32_t(i), &ca)), fbits(KF_ChannelSample(db, uint32_t(i), &cb)));
            }
        }
    };
    if (a->kind == KF_VALUE) {
        sameData(a->b, a->data, b->data);
        if (a->a == KF_FP || a->a == KF_FP_C) {
            for (float f : frames) EXPECT_EQ(fbits(KF_FP_Lerp(a, f)), fbits(KF_FP_Lerp(b, f)));
        }
        return;
    }
    for (int32_t i = 0; i < a->b; ++i) {
        ASSERT_EQ(a->elements[i].count, b->elements[i].count);
        sameData(a->elements[i].count, a->elements[i].data, b->elements[i].data);
    }
    if (a->a == KF_FP_C && a->b == 3) {
        for (float f : frames) {
            const KF_FP3 x = KF_FP3_Slerp_HPB_To_XYZ(a, f), y = KF_FP3_Slerp_HPB_To_XYZ(b, f);
            EXPECT_EQ(fbits(x.x), fbits(y.x));
            EXPECT_EQ(fbits(x.y), fbits(y.y));
            EXPECT_EQ(fbits(x.z), fbits(y.z));
            const KF_FP3 l = KF_FP3_Lerp(a, f), m = KF_FP3_Lerp(b, f);
            EXPECT_EQ(fbits(l.x), fbits(m.x));
            EXPECT_EQ(fbits(l.z), fbits(m.z));
        }
    }
}

TEST_F(RoundTripTest, AnEmptyDocumentRoundTripsInBothForms) {
    Doc empty(load(form("")));
    ASSERT_TRUE(empty.doc);
    std::string text, binary, error;
    ASSERT_TRUE(KF_WriteText(empty.root(), &text, &error));
    ASSERT_TRUE(KF_WriteBinary(empty.root(), &binary, &error));
    EXPECT_EQ(binary, form(""));
    Doc back(load(text));  // even an empty text document must pass form detection
    ASSERT_TRUE(back.doc);
    EXPECT_EQ(back.root()->a, 0);
}

TEST_F(RoundTripTest, TextAndBinaryFormsOfGeneratedTreesAnswerAlike) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        const std::string text = generate(seed);
        Doc fromText(load(text));
        ASSERT_TRUE(fromText.doc) << text;

        std::string binary, error;
        ASSERT_TRUE(KF_WriteBinary(fromText.root(), &binary, &error)) << error;
        Doc fromBinary(load(binary));
        ASSERT_TRUE(fromBinary.doc);
        EXPECT_EQ(fromBinary.doc->form, 0);
        expectSameTree(fromText.root(), fromBinary.root());

        std::string written;
        ASSERT_TRUE(KF_WriteText(fromBinary.root(), &written, &error)) << error;
        Doc again(load(written));
        ASSERT_TRUE(again.doc) << written;
        expectSameTree(fromText.root(), again.root());

        // Writing is stable: the binary image of either copy is the same bytes.
        std::string binary2;
        ASSERT_TRUE(KF_WriteBinary(again.root(), &binary2, &error));
        EXPECT_EQ(binary, binary2);
    }
    EXPECT_TRUE(log.empty());
}

std::string nval(const std::string& name, uint32_t type, const std::string& data) {
    return chunk("NVAL", nameField(name) + be32(type) + data);
}

TEST_F(RoundTripTest, TreesAFormCannotCarryAreRefused) {
    struct Case {
        std::string binary;
        const char* mention;
    } cases[] = {
        {form(nval("a b", KF_I4, be32(1))), "a b"},
        {form(nval("tab\there", KF_I4, be32(1))), "tab"},
        {form(nval("", KF_I4, be32(1))), "without a name"},
        {form(nval("#x", KF_I4, be32(1))), "#x"},
        {form(nval("{x", KF_I4, be32(1))), "{x"},
        {form(chunk("NODE", nameField("g h"))), "g h"},
        {form(nval("s", KF_STR, std::string("a\nb\0\0\0\0", 8))), "line end"},
        {form(nval("s", KF_STR, std::string("a\rb\0", 4))), "line end"},
        {form(nval("none", KF_FP, "")), "no data"},
        {form(chunk("NARR", nameField("arr") + be32(KF_I4) + chunk("AVAL", ""))), "no data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mention);
        Doc d(load(c.binary));
        ASSERT_TRUE(d.doc);
        std::string out = "untouched", error;
        EXPECT_FALSE(KF_WriteText(d.root(), &out, &error));
        EXPECT_EQ(out, "untouched");
        EXPECT_NE(error.find(c.mention), std::string::npos) << error;
    }
    // A zero byte inside a text string cannot go into the binary form.
    Doc d(load(std::string("# comment\ns STR a\0b\n", 20)));
    ASSERT_TRUE(d.doc);
    std::string out, error;
    EXPECT_FALSE(KF_WriteBinary(d.root(), &out, &error));
    EXPECT_NE(error.find("zero byte"), std::string::npos);
    // Names that are fine in text: a group may be called "#x", an empty channel is kept.
    Doc ok(load(form(chunk("NODE", nameField("#x")) + nval("c", KF_FP_C, ""))));
    ASSERT_TRUE(ok.doc);
    ASSERT_TRUE(KF_WriteText(ok.root(), &out, &error)) << error;
    Doc back(load(out));
    ASSERT_TRUE(back.doc) << out;
    EXPECT_TRUE(KF_Find(back.root(), "#x"));
    EXPECT_EQ(KF_Find(back.root(), "c")->b, 0);
}

}  // namespace
