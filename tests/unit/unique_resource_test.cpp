#include "platform/unique_resource.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

namespace {

// Values 1, 2, 3, ... stand for open resources; -1 is "empty". Every close
// is recorded so that a test can check each value was closed exactly once.
std::vector<int> g_closed;

struct CountingTraits {
    using Value = int;
    static int Empty() { return -1; }
    static void Close(int value) { g_closed.push_back(value); }
};
using Counted = platform::UniqueResource<CountingTraits>;

// Traits with state: each instance closes into its own list.
struct LoggingTraits {
    using Value = int;
    std::vector<int>* log = nullptr;
    static int Empty() { return 0; }
    void Close(int value) const { log->push_back(value); }
};
using Logged = platform::UniqueResource<LoggingTraits>;

class UniqueResourceTest : public ::testing::Test {
protected:
    void SetUp() override { g_closed.clear(); }
};

static_assert(!std::is_copy_constructible<Counted>::value, "must not be copyable");
static_assert(!std::is_copy_assignable<Counted>::value, "must not be copyable");
static_assert(std::is_nothrow_move_constructible<Counted>::value, "moves must not throw");
static_assert(std::is_nothrow_move_assignable<Counted>::value, "moves must not throw");

TEST_F(UniqueResourceTest, DestructorClosesHeldValueOnce) {
    { Counted r(7); }
    EXPECT_EQ(g_closed, std::vector<int>({7}));
}

TEST_F(UniqueResourceTest, EmptyResourceClosesNothing) {
    {
        Counted none;
        Counted explicitEmpty(-1);
        EXPECT_FALSE(none);
        EXPECT_FALSE(explicitEmpty.valid());
        EXPECT_EQ(none.get(), -1);
    }
    EXPECT_TRUE(g_closed.empty());
}

TEST_F(UniqueResourceTest, MoveConstructionTransfersOwnership) {
    {
        Counted a(3);
        Counted b(std::move(a));
        EXPECT_EQ(a.get(), -1);
        EXPECT_EQ(b.get(), 3);
        EXPECT_TRUE(g_closed.empty());
    }
    EXPECT_EQ(g_closed, std::vector<int>({3}));
}

TEST_F(UniqueResourceTest, MoveAssignmentClosesPreviousValueExactlyOnce) {
    {
        Counted a(1);
        Counted b(2);
        b = std::move(a);
        EXPECT_EQ(g_closed, std::vector<int>({2}));  // the old one, at once
        EXPECT_EQ(b.get(), 1);
        EXPECT_EQ(a.get(), -1);
    }
    EXPECT_EQ(g_closed, std::vector<int>({2, 1}));
}

TEST_F(UniqueResourceTest, MoveAssignmentFromEmptyClosesPreviousValue) {
    {
        Counted a;
        Counted b(5);
        b = std::move(a);
        EXPECT_EQ(g_closed, std::vector<int>({5}));
        EXPECT_FALSE(b);
    }
    EXPECT_EQ(g_closed, std::vector<int>({5}));
}

TEST_F(UniqueResourceTest, SelfMoveAssignmentKeepsValueOpen) {
    {
        Counted a(4);
        Counted& alias = a;
        a = std::move(alias);
        EXPECT_TRUE(g_closed.empty());
        EXPECT_EQ(a.get(), 4);
    }
    EXPECT_EQ(g_closed, std::vector<int>({4}));
}

TEST_F(UniqueResourceTest, ResetClosesOldValueAndTakesNewOne) {
    {
        Counted r(1);
        r.reset(2);
        EXPECT_EQ(g_closed, std::vector<int>({1}));
        EXPECT_EQ(r.get(), 2);
        r.reset();
        EXPECT_EQ(g_closed, std::vector<int>({1, 2}));
        EXPECT_FALSE(r);
        r.reset();  // nothing left to close
    }
    EXPECT_EQ(g_closed, std::vector<int>({1, 2}));
}

TEST_F(UniqueResourceTest, ResetToTheHeldValueDoesNotCloseIt) {
    {
        Counted r(9);
        r.reset(9);
        EXPECT_TRUE(g_closed.empty());
    }
    EXPECT_EQ(g_closed, std::vector<int>({9}));
}

TEST_F(UniqueResourceTest, ReleaseGivesUpOwnershipWithoutClosing) {
    int released = 0;
    {
        Counted r(6);
        released = r.release();
        EXPECT_FALSE(r);
    }
    EXPECT_EQ(released, 6);
    EXPECT_TRUE(g_closed.empty());
}

TEST_F(UniqueResourceTest, PutClosesHeldValueOnceAndAdoptsTheOutput) {
    {
        Counted r(1);
        int* out = r.put();
        EXPECT_EQ(g_closed, std::vector<int>({1}));
        EXPECT_EQ(*out, -1);  // a failing producer leaves it empty
        *out = 2;             // what an out-parameter function writes
        EXPECT_EQ(r.get(), 2);
        *r.put() = 3;
        EXPECT_EQ(g_closed, std::vector<int>({1, 2}));
    }
    EXPECT_EQ(g_closed, std::vector<int>({1, 2, 3}));
}

TEST_F(UniqueResourceTest, StatefulTraitsMoveWithTheValue) {
    std::vector<int> first, second;
    {
        Logged a(10, LoggingTraits{&first});
        Logged b(20, LoggingTraits{&second});
        b = std::move(a);  // 20 closes through b's old traits
        EXPECT_EQ(second, std::vector<int>({20}));
        EXPECT_TRUE(first.empty());
        Logged c(std::move(b));
    }  // 10 closes through the traits it came with
    EXPECT_EQ(first, std::vector<int>({10}));
    EXPECT_EQ(second, std::vector<int>({20}));
}

}  // namespace
