// Text form: tokenising, value conversion, arrays, errors with their line numbers, queries.
#include "kf_test_util.h"

#include <cmath>
#include <limits>

using namespace kftest;

namespace {

using TextTest = KfTest;

TEST_F(TextTest, GroupWithValueBuildsTheTree) {
    Doc d(load("{ Scene\nframeStart I4 0\n}\n"));
    ASSERT_TRUE(d.doc);
    EXPECT_EQ(d.doc->form, 1);
    EXPECT_STREQ(d.root()->name, "root");
    KF_Node* scene = KF_Find(d.root(), "Scene");
    ASSERT_TRUE(scene);
    EXPECT_EQ(scene->kind, KF_NODE);
    KF_Node* v = KF_Find(scene, "frameStart");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->kind, KF_VALUE);
    EXPECT_EQ(v->a, KF_I4);
    EXPECT_EQ(v->b, 1);
    EXPECT_EQ(static_cast<const int32_t*>(v->data)[0], 0);
    EXPECT_TRUE(log.empty());
}

// One value line each; the expected data as the words stored (or the string for STR).
struct ValueCase {
    const char* line;
    int32_t type;
    int32_t count;
    std::vector<uint32_t> words;
    const char* str;
};

TEST_F(TextTest, ValueLinesConvertLikeTheCLibraryWithoutLocale) {
    const float inf = std::numeric_limits<float>::infinity();
    const ValueCase cases[] = {
        {"v I4 -12 +7 3x abc\t 2147483648", KF_I4, 5, {uint32_t(-12), 7, 3, 0, 0x80000000u}, nullptr},
        {"v U4 -1 4294967295 4294967296 12", KF_U4, 4, {0xFFFFFFFFu, 0xFFFFFFFFu, 0, 12}, nullptr},
        {"v FP 1.5 -2e3 .25 abc 1e50 +3 1,5 -0", KF_FP, 8,
         {fbits(1.5f), fbits(-2000.0f), fbits(0.25f), 0, fbits(inf), fbits(3.0f), fbits(1.0f), fbits(-0.0f)},
         nullptr},
        {"v FP 0x10 1e-60 0.1", KF_FP, 3, {fbits(16.0f), 0, fbits(0.1f)}, nullptr},
        {"ch FP_C RUN 3 1.5 DAT 2 4 5", KF_FP_C, 5, {0, 3, fbits(1.5f), 1, 2, fbits(4.0f), fbits(5.0f)}, nullptr},
        {"ch FP_C RUN 0 7", KF_FP_C, 0, {0, 0, fbits(7.0f)}, nullptr},
        {"label STR \"Hello world\"   ", KF_STR, 11, {}, "Hello world"},
        {"label STR Hello world  ", KF_STR, 13, {}, "Hello world  "},
        {"label STR \"", KF_STR, 0, {}, ""},
        {"label STR \"\"", KF_STR, 0, {}, ""},
        {"label STR \"say \"hi\"\"", KF_STR, 8, {}, "say \"hi\""},
        {"label STR \"open  ", KF_STR, 6, {}, "open  "},
        {"label\tSTR\t\t a \"b\" c", KF_STR, 7, {}, "a \"b\" c"},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.line);
        Doc d(load(std::string(c.line) + "\n"));
        ASSERT_TRUE(d.doc);
        ASSERT_EQ(d.root()->a, 1);
        const KF_Node* v = d.root()->children[0];
        EXPECT_EQ(v->kind, KF_VALUE);
        EXPECT_EQ(v->a, c.type);
        EXPECT_EQ(v->b, c.count);
        if (c.str) {
            EXPECT_EQ(std::string(static_cast<const char*>(v->data), size_t(v->b)), c.str);
            EXPECT_EQ(static_cast<const char*>(v->data)[v->b], '\0');
        } else {
            const size_t n = c.type == KF_FP_C ? c.words.size() : size_t(v->b);
            EXPECT_EQ(words(v->data, n), c.words);
        }
    }
    EXPECT_TRUE(log.empty());
}

TEST_F(TextTest, ArraysCommentsAndBlanks) {
    const char* text =
        "# leading comment\n"
        "\t{ Obj\n"
        "  pos FP [ rest ignored\n"
        "    1 2 3\n"
        "    # comment inside\n"
        "    / another\n"
        "\n"
        "    4 5\n"
        "  ]\n"
        "  names STR [\n"
        "    \"a b\"\n"
        "    ]x\n"
        "  {x Inner extra tokens\n"
        "  }\n"
        "  rot FP_C [\n"
        "    RUN 2 0.5\n"
        "    DAT 1 7\n";  // array and group still open at the end
    Doc d(load(text));
    ASSERT_TRUE(d.doc);
    KF_Node* obj = KF_Find(d.root(), "Obj");
    ASSERT_TRUE(obj);
    ASSERT_EQ(obj->a, 4);
    KF_Node* pos = KF_Find(obj, "pos");
    ASSERT_TRUE(pos);
    EXPECT_EQ(pos->kind, KF_ARRAY);
    ASSERT_EQ(pos->b, 2);
    EXPECT_EQ(pos->elements[0].count, 3);
    EXPECT_EQ(pos->elements[1].count, 2);
    EXPECT_EQ(words(pos->elements[1].data, 2), (std::vector<uint32_t>{fbits(4), fbits(5)}));
    KF_Node* names = KF_Find(obj, "names");
    ASSERT_TRUE(names && names->b == 1);
    EXPECT_STREQ(static_cast<const char*>(names->elements[0].data), "a b");
    ASSERT_TRUE(KF_Find(obj, "Inner"));
    KF_Node* rot = KF_Find(obj, "rot");
    ASSERT_TRUE(rot && rot->b == 2);
    EXPECT_EQ(rot->elements[0].count, 2);
    EXPECT_EQ(rot->elements[1].count, 1);
    EXPECT_TRUE(log.empty());
}

struct ErrorCase {
    const char* text;
    std::vector<std::string> messages;
};

TEST_F(TextTest, ErrorsNameTheirLine) {
    std::string deep;
    for (int i = 0; i < 20; ++i) deep += "{ g\n";
    const ErrorCase cases[] = {
        {"x\n", {"Line does not have enough token\n", "line 1: Invalid line\n"}},
        {"{Scene\n", {"Line does not have enough token\n", "line 1: Invalid line\n"}},
        {"{\n", {"Line does not have enough token\n", "line 1: Invalid line\n"}},
        {"a I4 1\n\n\n\nb I4\n", {"Line value does not have enough token\n", "line 2: Invalid line\n"}},
        {"a I4 1\r\n\r\nb I4   \r\n", {"Line value does not have enough token\n", "line 2: Invalid line\n"}},
        {"a I4 1\rb\r", {"Line does not have enough token\n", "line 2: Invalid line\n"}},
        {"}\n", {"line 1: too many }\n"}},
        {"{ a\n}\r\n# c\n}\n", {"line 4: too many }\n"}},
        {"x FOO 1\n", {"line 1: unknown value type FOO\n"}},
        {"x fp 1\n", {"line 1: unknown value type fp\n"}},
        {"x BAD [\n", {"line 1: unknown value type BAD\n"}},
        {"c FP_C DAT 3 1 2\n", {"line 1: malformed FP_C channel\n"}},
        {"c FP_C 1 2 3\n", {"line 1: malformed FP_C channel\n"}},
        {"c FP_C RUN 1 1 2\n", {"line 1: malformed FP_C channel\n"}},
        {"c FP_C RUN 1\n", {"line 1: malformed FP_C channel\n"}},
        {"c FP_C DAT 2 1 RUN 1 1\n", {"line 1: malformed FP_C channel\n"}},
        {"c FP_C RUN 2147483647 1 RUN 1 2\n", {"line 1: malformed FP_C channel\n"}},
        {"c FP_C RUN -1 1\n", {"line 1: malformed FP_C channel\n"}},
        {"a FP_C [\nRUN 1 1\nDAT 1\n]\n", {"line 3: malformed FP_C channel\n"}},
        {deep.c_str(), {"line 20: groups nested deeper than 20 levels\n"}},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.text);
        log.clear();
        // A comment after the fault keeps even one-line cases above the 12-byte minimum.
        KF_Document* doc = load(std::string(c.text) + "\n# padding\n");
        EXPECT_EQ(doc, nullptr);
        KF_Free(doc);
        EXPECT_EQ(log, c.messages);
    }
}

TEST_F(TextTest, NineteenGroupLevelsBelowTheRootLoad) {
    std::string text;
    for (int i = 0; i < 19; ++i) text += "{ g\n";
    text += "v I4 1\n";
    Doc d(load(text));
    ASSERT_TRUE(d.doc);
    KF_Node* n = d.root();
    for (int i = 0; i < 19; ++i) n = KF_Find(n, "g");
    EXPECT_TRUE(KF_Find(n, "v"));
}

TEST_F(TextTest, PoolsHoldTheTreeDepthFirst) {
    Doc d(load("{ A\n{ B\nx I4 1\n}\ny FP [\n1\n2\n]\n}\n{ C\n}\nz STR s\n"));
    ASSERT_TRUE(d.doc);
    const KF_Document* doc = d.doc;
    ASSERT_EQ(doc->nodeCount, 7);
    EXPECT_EQ(doc->childCount, 6);
    EXPECT_EQ(doc->elementCount, 2);
    const char* order[] = {"root", "A", "B", "x", "y", "C", "z"};
    for (int i = 0; i < 7; ++i) EXPECT_STREQ(doc->nodes[i].name, order[i]);
    // The root's three children take the first slots, then A's two, then B's one.
    EXPECT_EQ(doc->root->children, doc->childPool);
    EXPECT_EQ(doc->nodes[1].children, doc->childPool + 3);
    EXPECT_EQ(doc->nodes[2].children, doc->childPool + 5);
    EXPECT_EQ(doc->nodes[4].elements, doc->elementPool);
}

TEST_F(TextTest, FindMatchesBytesAndTakesTheFirst) {
    Doc d(load("a I4 1\na I4 2\nA I4 3\n{ g\n}\n"));
    ASSERT_TRUE(d.doc);
    KF_Node* a = KF_Find(d.root(), "a");
    ASSERT_TRUE(a);
    EXPECT_EQ(static_cast<const int32_t*>(a->data)[0], 1);
    EXPECT_EQ(static_cast<const int32_t*>(KF_Find(d.root(), "A")->data)[0], 3);
    EXPECT_EQ(KF_Find(d.root(), "b"), nullptr);
    EXPECT_EQ(KF_Find(nullptr, "a"), nullptr);
    EXPECT_EQ(KF_Find(a, "a"), nullptr);                         // a value has no children
    EXPECT_EQ(KF_Find(KF_Find(d.root(), "g"), "a"), nullptr);   // empty group
}

TEST_F(TextTest, GetFPReadsWholeSamplesAndZeroForMissingParts) {
    Doc d(load("ch FP_C DAT 10 0 1 2 3 4 5 6 7 8 9\n"
               "k FP 1 2 3\n"
               "short FP 4\n"
               "s STR abc\n"
               "i I4 5 6 7\n"
               "empty FP_C RUN 0 1\n"
               "arr FP_C [\nDAT 3 1 2 3\nRUN 2 8\n]\n"
               "arrfp FP [\n1 9\n2\n]\n"
               "{ g\n}\n"));
    ASSERT_TRUE(d.doc);
    auto n = [&](const char* name) { return KF_Find(d.root(), name); };
    EXPECT_EQ(KF_GetFP(n("ch"), 25), 9.0f);
    EXPECT_EQ(KF_GetFP(n("ch"), 4), 4.0f);
    EXPECT_EQ(KF_GetFP(n("ch"), -1), 9.0f);  // negative index compares as unsigned
    EXPECT_EQ(KF_GetFP(n("k"), 7), 1.0f);
    const KF_FP3 k = KF_GetFP3(n("k"), 0);
    EXPECT_EQ(k.x, 1.0f);
    EXPECT_EQ(k.y, 2.0f);
    EXPECT_EQ(k.z, 3.0f);
    const KF_FP3 ch = KF_GetFP3(n("ch"), 2);
    EXPECT_EQ(ch.x, 2.0f);
    EXPECT_EQ(ch.y, 2.0f);
    EXPECT_EQ(ch.z, 2.0f);
    const KF_FP3 arr = KF_GetFP3(n("arr"), 1);
    EXPECT_EQ(arr.x, 2.0f);
    EXPECT_EQ(arr.y, 8.0f);
    EXPECT_EQ(arr.z, 0.0f);  // no third element
    const KF_FP2 arrfp = KF_GetFP2(n("arrfp"), 5);
    EXPECT_EQ(arrfp.x, 1.0f);
    EXPECT_EQ(arrfp.y, 2.0f);
    const KF_FP3 sh = KF_GetFP3(n("short"), 0);
    EXPECT_EQ(sh.x, 4.0f);
    EXPECT_EQ(sh.y, 0.0f);
    EXPECT_EQ(sh.z, 0.0f);
    for (const char* name : {"s", "i", "empty", "g"}) {
        SCOPED_TRACE(name);
        const KF_FP3 z = KF_GetFP3(n(name), 3);
        EXPECT_EQ(z.x, 0.0f);
        EXPECT_EQ(z.y, 0.0f);
        EXPECT_EQ(z.z, 0.0f);
        EXPECT_EQ(KF_GetFP(n(name), 0), 0.0f);
    }
    EXPECT_EQ(KF_GetFP(nullptr, 0), 0.0f);
}

}  // namespace
