// Random ranges, decimal text helpers and id pools of the common library.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "kernel/common/Helpers.h"
#include "kernel/common/IdPool.h"
#include "platform/Random.h"

using namespace CommonLibrary;

TEST(RandomInRange, EdgesAndHalfOpenRange) {
  EXPECT_EQ(RandomInRange(5, 5), 5u);
  EXPECT_EQ(RandomInRange(6, 5), 0u);
  plat::srand(1234);
  std::set<std::uint32_t> seen;
  for (int i = 0; i < 2000; ++i) seen.insert(RandomInRange(1, 9));
  EXPECT_EQ(seen, (std::set<std::uint32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  // The 15-bit generator never reaches past a + 32,767, however wide the range.
  for (int i = 0; i < 2000; ++i) EXPECT_LE(RandomInRange(60000, 200000), 60000u + 32767u);
}

TEST(RandomInRange, SameSeedSameSequence) {
  plat::srand(77);
  std::vector<std::uint32_t> first;
  for (int i = 0; i < 20; ++i) first.push_back(RandomInRange(1, 9));
  plat::srand(77);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(RandomInRange(1, 9), first[i]);
}

TEST(DecimalText, ParsesAndFormats) {
  struct Case { const char* text; std::int32_t value; };
  for (const Case& c : {Case{"  -42abc", -42}, Case{"abc", 0}, Case{"", 0}, Case{"+17", 17},
                        Case{"99999999999", INT32_MAX}, Case{"-99999999999", INT32_MIN}}) {
    EXPECT_EQ(StringToInt(c.text), c.value) << c.text;
  }
  EXPECT_EQ(U16ToString(65535), "65535");
  EXPECT_EQ(U16ToString(0), "0");
  EXPECT_EQ(IntToString(-7), "-7");
  EXPECT_EQ(IntToString(INT32_MIN), "-2147483648");
}

TEST(IdPool, HandsOutLowestFreeIdAboveBase) {
  IdPool pool;
  pool.SetBase(1);
  EXPECT_EQ(pool.Take(), 2u);
  EXPECT_EQ(pool.Take(), 3u);
  EXPECT_EQ(pool.Take(), 4u);
  pool.GiveBack(3);
  pool.GiveBack(99);  // never handed out: ignored
  EXPECT_EQ(pool.Take(), 3u);
  EXPECT_EQ(pool.Take(), 5u);
  pool.GiveBack(2);
  pool.GiveBack(2);  // a second give-back of the same id changes nothing
  EXPECT_EQ(pool.Take(), 2u);
  EXPECT_EQ(pool.Take(), 6u);
}

// Random takes and give-backs against the plain definition: the lowest id above the base
// that is not handed out.
TEST(IdPool, MatchesLowestFreeDefinitionUnderRandomUse) {
  IdPool pool;
  pool.SetBase(1);
  std::set<std::uint32_t> out;
  std::uint32_t state = 12345;
  auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };
  for (int step = 0; step < 5000; ++step) {
    if (next() % 3 != 0 || out.empty()) {
      std::uint32_t expected = 2;
      while (out.count(expected) != 0) ++expected;
      ASSERT_EQ(pool.Take(), expected) << step;
      out.insert(expected);
    } else {
      auto it = out.begin();
      std::advance(it, next() % out.size());
      pool.GiveBack(*it);
      out.erase(it);
    }
  }
}

TEST(IdPool, PoolsAreIndependentAndSafeAcrossThreads) {
  IdPool a;
  IdPool b;
  EXPECT_EQ(a.Take(), 1u);
  EXPECT_EQ(b.Take(), 1u);
  std::vector<std::uint32_t> ids[2];
  std::thread t1([&] { for (int i = 0; i < 500; ++i) ids[0].push_back(a.Take()); });
  std::thread t2([&] { for (int i = 0; i < 500; ++i) ids[1].push_back(a.Take()); });
  t1.join();
  t2.join();
  std::set<std::uint32_t> all(ids[0].begin(), ids[0].end());
  all.insert(ids[1].begin(), ids[1].end());
  EXPECT_EQ(all.size(), 1000u);  // no id handed out twice
  EXPECT_EQ(*all.begin(), 2u);
  EXPECT_EQ(*all.rbegin(), 1001u);
}
