// The flat index's sweep that drops many values at once, where probe runs are long, wrap
// around the end of the table and interleave: every value left must still be found.
#include "filelist/FlatIndex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace {

// `count` values 0..count-1 with the hashes `hashOf` gives them, in a table of 16 slots per
// 12 values (three quarters full, the most it holds before growing).
FlatIndex Filled(uint32_t count, const std::function<uint32_t(uint32_t)>& hashOf) {
  FlatIndex index;
  for (uint32_t v = 0; v < count; ++v) index.Insert(hashOf(v), v, [](uint32_t) { return false; });
  return index;
}

bool Finds(const FlatIndex& index, uint32_t hash, uint32_t value) {
  return index.Find(hash, [value](uint32_t v) { return v == value; }) == value;
}

TEST(FlatIndex, SweepingValuesOutLeavesTheRestFindable) {
  struct Row {
    const char* what;
    uint32_t count;
    std::function<uint32_t(uint32_t)> hashOf;
    std::function<bool(uint32_t)> drop;
  };
  const Row rows[] = {
      // One long run that starts at the last slot and wraps to the first.
      {"one run over the end", 12, [](uint32_t) { return 15u; },
       [](uint32_t v) { return v % 2 == 0; }},
      {"two runs meeting over the end", 12, [](uint32_t v) { return v % 2 == 0 ? 14u : 1u; },
       [](uint32_t v) { return v < 3 || v == 7; }},
      {"homes in a row, the first dropped", 12, [](uint32_t v) { return 10 + v % 4; },
       [](uint32_t v) { return v % 4 == 0; }},
      {"every value but one", 12, [](uint32_t v) { return 13 + v % 3; },
       [](uint32_t v) { return v != 11; }},
      {"every value", 12, [](uint32_t) { return 3u; }, [](uint32_t) { return true; }},
      {"nothing", 12, [](uint32_t v) { return v * 5; }, [](uint32_t) { return false; }},
      // Large enough to grow several times, then most of it dropped: the table shrinks.
      {"many, nine in ten dropped", 50000, [](uint32_t v) { return v * 2654435761u; },
       [](uint32_t v) { return v % 10 != 0; }},
      {"many, half dropped, in blocks", 50000, [](uint32_t v) { return v * 40503u; },
       [](uint32_t v) { return v / 1000 % 2 == 0; }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FlatIndex index = Filled(row.count, row.hashOf);
    ASSERT_EQ(index.Count(), row.count);
    size_t dropping = 0;
    for (uint32_t v = 0; v < row.count; ++v) dropping += row.drop(v) ? 1 : 0;
    EXPECT_EQ(index.EraseIf(row.drop), dropping);
    EXPECT_EQ(index.Count(), row.count - dropping);
    for (uint32_t v = 0; v < row.count; ++v)
      ASSERT_EQ(Finds(index, row.hashOf(v), v), !row.drop(v)) << v;
    // What stays can still be erased one by one, and what went can come back.
    for (uint32_t v = 0; v < row.count; ++v) {
      if (row.drop(v))
        index.Insert(row.hashOf(v), v, [](uint32_t) { return false; });
      else
        ASSERT_TRUE(index.Erase(row.hashOf(v), v)) << v;
    }
    EXPECT_EQ(index.Count(), dropping);
    for (uint32_t v = 0; v < row.count; ++v)
      ASSERT_EQ(Finds(index, row.hashOf(v), v), row.drop(v)) << v;
  }
}

}  // namespace
