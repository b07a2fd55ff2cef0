#include "core/KeAssert.h"
#include "core/KePtr.h"

#include <gtest/gtest.h>

#include <utility>

using namespace kolm;

namespace {

// Counts references like the 3D library's objects; deletes itself at zero.
struct Counted {
    explicit Counted(int* alive) : alive(alive) { ++*alive; }
    ~Counted() { --*alive; }
    void grab() { ++refs; }
    bool drop() {
        if (--refs == 0) {
            delete this;
            return true;
        }
        return false;
    }
    int refs = 1;  // a create* result comes with one reference
    int* alive;
};

TEST(KePtr, DropsExactlyWhatItHolds) {
    int alive = 0;
    {
        KePtr<Counted> a = KePtr<Counted>::adopt(new Counted(&alive));
        EXPECT_EQ(a->refs, 1);
        KePtr<Counted> b = a;  // copy grabs
        EXPECT_EQ(a->refs, 2);
        KePtr<Counted> c = std::move(b);  // move does not
        EXPECT_FALSE(b);
        EXPECT_EQ(c->refs, 2);
        c = nullptr;  // assignment drops the old one
        EXPECT_EQ(a->refs, 1);
        a = a;  // self-assignment keeps it alive
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);

    // A borrowed object gets a reference of its own; release hands ours back to the caller.
    Counted* borrowed = new Counted(&alive);
    {
        KePtr<Counted> shared = KePtr<Counted>::share(borrowed);
        EXPECT_EQ(borrowed->refs, 2);
    }
    EXPECT_EQ(borrowed->refs, 1);
    KePtr<Counted> owner = KePtr<Counted>::adopt(borrowed);
    Counted* raw = owner.release();
    EXPECT_FALSE(owner);
    EXPECT_EQ(raw->refs, 1);
    raw->drop();
    EXPECT_EQ(alive, 0);
    EXPECT_FALSE(KePtr<Counted>::share(nullptr));
}

#if !defined(NDEBUG) || defined(KOLM_ASSERTS)
TEST(KeAssertDeathTest, NamesTheConditionAndStops) {
    const int capacity = 0;
    EXPECT_DEATH(KE_ASSERT(capacity > 0), "assertion failed: capacity > 0");
}
#endif

TEST(KeAssert, TrueConditionsPassAndAreEvaluatedOnce) {
    int evaluated = 0;
    KE_ASSERT(++evaluated == 1);
#if !defined(NDEBUG) || defined(KOLM_ASSERTS)
    EXPECT_EQ(evaluated, 1);
#else
    EXPECT_EQ(evaluated, 0);  // not evaluated at all where asserts are off
#endif
}

}  // namespace
