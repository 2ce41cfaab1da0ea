#include "components/common/murrel/IndexRange.h"

#include "components/common/baseinterface/BaseInterface.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Ranges = std::vector<std::pair<ULONGLONG, ULONGLONG>>;
constexpr ULONGLONG top = ~0ull;

Ranges ranges_of(const tIndexRange& r)
{
    Ranges out;
    for (int i = 0; i + 1 < r.count; i += 2) out.emplace_back(r.entries[i], r.entries[i + 1]);
    return out;
}

tIndexRange assigned(std::vector<ULONGLONG> entries)
{
    tIndexRange r;
    EXPECT_EQ(r.Assign(static_cast<int>(entries.size()), entries.data()), RESULT_OK);
    return r;
}

}

TEST(IndexRange, InsertOneKeepsRangesSortedAndApart)
{
    const struct {
        const char* what;
        std::vector<ULONGLONG> start;
        std::vector<ULONGLONG> inserts;
        Ranges expected;
    } cases[] = {
        {"fills a gap", {}, {5, 7, 6}, {{5, 7}}},
        {"same index twice", {}, {5, 5}, {{5, 5}}},
        {"just before a range", {5, 9}, {4}, {{4, 9}}},
        {"just after a range", {5, 9}, {10}, {{5, 10}}},
        {"apart from a range", {5, 9}, {12}, {{5, 9}, {12, 12}}},
        {"inside a range", {5, 9}, {7}, {{5, 9}}},
        {"joins two ranges", {1, 2, 4, 9}, {3}, {{1, 9}}},
        {"before everything", {5, 9}, {0}, {{0, 0}, {5, 9}}},
        {"between two", {1, 2, 10, 12}, {6}, {{1, 2}, {6, 6}, {10, 12}}},
        {"zero then one", {}, {0, 1}, {{0, 1}}},
        {"the highest index", {}, {top, top - 1}, {{top - 1, top}}},
        {"next to the highest", {top, top}, {top - 2}, {{top - 2, top - 2}, {top, top}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tIndexRange r = assigned(c.start);
        const ULONGLONG first = r.first, last = r.last;
        for (ULONGLONG index : c.inserts) ASSERT_EQ(r.InsertOne(index), RESULT_OK);
        EXPECT_EQ(ranges_of(r), c.expected);
        EXPECT_EQ(r.first, first);
        EXPECT_EQ(r.last, last);
    }
}

TEST(IndexRange, InsertPairAddsWholeRunsAndRefreshesTheEnds)
{
    const struct {
        const char* what;
        std::vector<ULONGLONG> start;
        ULONGLONG from, to;
        Ranges expected;
        ULONGLONG first, last;
    } cases[] = {
        {"into empty", {}, 3, 6, {{3, 6}}, 3, 6},
        {"single zero", {}, 0, 0, {{0, 0}}, 0, 0},
        {"bridges a gap", {1, 2, 5, 9}, 3, 4, {{1, 9}}, 1, 9},
        {"swallows ranges", {1, 2, 5, 9, 20, 30}, 4, 21, {{1, 2}, {4, 30}}, 1, 30},
        {"covers all", {3, 4, 8, 9}, 0, 100, {{0, 100}}, 0, 100},
        {"reversed on empty", {}, 6, 3, {}, 0, 0},
        {"reversed refreshes", {1, 2}, 6, 3, {{1, 2}}, 1, 2},
        {"a huge run at once", {}, 0, 1ull << 40, {{0, 1ull << 40}}, 0, 1ull << 40},
        {"up to the highest", {2, 3}, 5, top, {{2, 3}, {5, top}}, 2, top},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tIndexRange r = assigned(c.start);
        r.first = r.last = 777;   // stale ends must be refreshed from the entries
        if (c.start.empty()) r.first = r.last = 0;
        ASSERT_EQ(r.InsertPair(c.from, c.to), RESULT_OK);
        EXPECT_EQ(ranges_of(r), c.expected);
        EXPECT_EQ(r.first, c.first);
        EXPECT_EQ(r.last, c.last);
    }
}

TEST(IndexRange, ArrayGrowsTwentyEntriesAtATime)
{
    tIndexRange r;
    EXPECT_EQ(r.capacity, 0);
    EXPECT_EQ(r.entries, nullptr);
    std::vector<int> capacities;
    for (ULONGLONG index = 0; index <= 20; index += 2) {
        r.InsertOne(index);
        capacities.push_back(r.capacity);
    }
    EXPECT_EQ(r.count, 22);
    EXPECT_EQ(capacities.front(), 20);
    EXPECT_EQ(capacities[9], 20);
    EXPECT_EQ(capacities.back(), 40);
    r.InsertPair(0, 20);   // merging never shrinks the array
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.capacity, 40);
    r.Reset();
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(r.capacity, 0);
    EXPECT_EQ(r.entries, nullptr);
}

TEST(IndexRange, AssignTakesEntriesAsTheyStand)
{
    tIndexRange r = assigned({1, 2, 5, 9});
    EXPECT_EQ(ranges_of(r), (Ranges{{1, 2}, {5, 9}}));
    EXPECT_EQ(r.first, 1u);
    EXPECT_EQ(r.last, 9u);
    EXPECT_EQ(r.capacity, 4);

    const ULONGLONG odd[] = {1, 2, 3};
    EXPECT_EQ(r.Assign(3, odd), RESULT_FAIL);
    EXPECT_EQ(r.Assign(-2, odd), RESULT_FAIL);
    EXPECT_EQ(r.Assign(2, nullptr), RESULT_FAIL);
    EXPECT_EQ(ranges_of(r), (Ranges{{1, 2}, {5, 9}}));

    EXPECT_EQ(r.Assign(0, odd), RESULT_OK);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(r.entries, nullptr);
    EXPECT_EQ(r.first, 0u);
}

TEST(IndexRange, CopiesAreDeepAndSized)
{
    tIndexRange source = assigned({1, 2, 5, 9});
    source.InsertOne(20);
    tIndexRange copy(source);
    EXPECT_EQ(copy.capacity, copy.count);
    EXPECT_EQ(ranges_of(copy), ranges_of(source));
    EXPECT_NE(copy.entries, source.entries);
    tIndexRange assigned_copy;
    assigned_copy = source;
    EXPECT_EQ(ranges_of(assigned_copy), ranges_of(source));
    EXPECT_EQ(assigned_copy.first, 1u);
    assigned_copy = assigned_copy;
    EXPECT_EQ(ranges_of(assigned_copy), ranges_of(source));

    const tIndexRange empty;
    tIndexRange empty_copy(empty);
    EXPECT_EQ(empty_copy.entries, nullptr);
    EXPECT_EQ(empty_copy.capacity, 0);
}

TEST(IndexRange, RawOperationsRefusePositionsOutsideTheArray)
{
    tIndexRange r = assigned({1, 2, 5, 9});
    const struct {
        const char* what;
        int result;
    } refused[] = {
        {"merge at 0", r.MergeIndexRange(0)},
        {"merge at count", r.MergeIndexRange(4)},
        {"merge odd", r.MergeIndexRange(1)},
        {"merge negative", r.MergeIndexRange(-2)},
        {"isolated past count", r.InsertIsolatedRange(3, 6)},
        {"isolated negative", r.InsertIsolatedRange(3, -2)},
        {"isolated odd", r.InsertIsolatedRange(3, 1)},
        {"grow by nothing", r.IncreaseArray(0)},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.result, RESULT_FAIL);
    }
    EXPECT_EQ(ranges_of(r), (Ranges{{1, 2}, {5, 9}}));

    // Used as the names say, they place and join ranges without checks of order.
    ASSERT_EQ(r.InsertIsolatedRange(3, 2), RESULT_OK);
    EXPECT_EQ(ranges_of(r), (Ranges{{1, 2}, {3, 3}, {5, 9}}));
    ASSERT_EQ(r.MergeIndexRange(2), RESULT_OK);
    EXPECT_EQ(ranges_of(r), (Ranges{{1, 3}, {5, 9}}));
    const int capacity = r.capacity;
    ASSERT_EQ(r.IncreaseArray(5), RESULT_OK);
    EXPECT_EQ(r.capacity, capacity + 5);
    EXPECT_EQ(ranges_of(r), (Ranges{{1, 3}, {5, 9}}));
}
