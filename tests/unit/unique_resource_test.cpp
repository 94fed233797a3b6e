#include "platform/unique_resource.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

namespace {

// Traits with state: each instance closes into its own list; 0 is "empty".
struct LoggingTraits {
    using Value = int;
    std::vector<int>* log = nullptr;
    static int Empty() { return 0; }
    void Close(int value) const { log->push_back(value); }
};
using Owned = platform::UniqueResource<LoggingTraits>;
static_assert(!std::is_copy_constructible_v<Owned> && !std::is_copy_assignable_v<Owned>);
static_assert(std::is_nothrow_move_constructible_v<Owned> && std::is_nothrow_move_assignable_v<Owned>);

TEST(UniqueResource, EveryValueIsClosedExactlyOnceWithItsOwnTraits) {
    std::vector<int> first, second;
    {
        Owned empty(0, {&first});
        EXPECT_FALSE(empty);
        Owned a(1, {&first}), b(2, {&second});
        Owned moved(std::move(a));
        EXPECT_EQ(a.get() + 10 * moved.get(), 10);
        b = std::move(moved);  // closes 2 by b's traits; takes 1 and its traits
        EXPECT_EQ(second, std::vector<int>{2});
        b = std::move(b);  // self-move keeps the value
        EXPECT_EQ(b.get(), 1);
        b.reset(1);  // the same value: not closed
        *b.put() = 5;  // closes 1 first
        EXPECT_EQ(first, std::vector<int>{1});
        EXPECT_EQ(b.release(), 5);
        EXPECT_FALSE(b.valid());
        b.reset(6);
    }
    EXPECT_EQ(first, (std::vector<int>{1, 6})) << "6 closed at the end of its scope, 5 released";
    EXPECT_EQ(second, std::vector<int>{2});
}

}  // namespace
