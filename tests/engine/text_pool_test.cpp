// The pieces the log's records and indexes are made of: texts kept once each, numbered so that numbers
// compare as the texts do, and counts by key that stay right through every removal.
#include "engine/text_pool.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/count_map.h"

namespace zorvant {
namespace {

TEST(TextPoolTest, EqualTextsShareAnIdAndDifferentOnesNever) {
  TextPool pool;
  std::map<std::string, TextPool::Id> ids;
  std::mt19937 rng(14);
  // Short and long texts (a slot keeps a text's first bytes), letter case and a NUL byte mattering.
  const std::vector<std::string> fixed = {"80m",
                                          "80M",
                                          "UA3XYZ",
                                          "ua3xyz",
                                          "599",
                                          "59",
                                          std::string("a\0b", 3),
                                          std::string("a\0c", 3),
                                          "ABCDEFGHIJK",
                                          "ABCDEFGHIJKL",
                                          "ABCDEFGHIJKM",
                                          std::string(300, 'x'),
                                          std::string(301, 'x')};
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 20000; ++i) {
      std::string text = i < static_cast<int>(fixed.size()) ? fixed[static_cast<std::size_t>(i)]
                                                            : std::to_string(rng() % 5000);
      if (i % 7 == 0) text += "/P";
      const TextPool::Id id = pool.Intern(text);
      auto [known, added] = ids.emplace(text, id);
      ASSERT_EQ(id, known->second) << text;
      ASSERT_EQ(pool[id], text);
      TextPool::Id found = 0;
      ASSERT_TRUE(pool.Find(text, &found));
      ASSERT_EQ(found, id);
    }
  }
  EXPECT_EQ(pool.size(), ids.size() + 1);  // and the empty text
  TextPool::Id found = 99;
  EXPECT_FALSE(pool.Find("never interned", &found));
  EXPECT_EQ(found, 99u);
  EXPECT_EQ(pool.Intern(""), TextPool::kEmpty);

  pool.Clear();
  EXPECT_EQ(pool.size(), 1u);
  EXPECT_FALSE(pool.Find("UA3XYZ", &found));
  EXPECT_EQ(pool.Intern("UA3XYZ"), 1u);
}

TEST(CountMapTest, CountsEqualTheMapsThroughAddsAndDrops) {
  CountMap counts;
  std::map<std::uint64_t, int> expected;
  std::mt19937_64 rng(5);
  // Keys as the log packs them, few enough that they collide, are dropped and come back often; the
  // table grows from its first size several times on the way.
  for (int step = 0; step < 200000; ++step) {
    const std::uint64_t key = (rng() % 3000) << 24 | (rng() % 3) << 8;
    if (rng() % 3 == 0) {
      counts.Drop(key);
      auto it = expected.find(key);
      if (it != expected.end() && --it->second == 0) expected.erase(it);
    } else {
      const int before = expected.count(key) ? expected[key] : 0;
      ASSERT_EQ(counts.Add(key), static_cast<std::uint32_t>(before));
      ++expected[key];
    }
    if (step % 1000 == 0) {
      for (std::uint64_t probe = 0; probe < 3000; ++probe) {
        const std::uint64_t k = probe << 24 | (probe % 3) << 8;
        ASSERT_EQ(counts.Contains(k), expected.count(k) != 0) << "step " << step << " key " << k;
      }
    }
  }
  counts.Clear();
  for (const auto& [key, n] : expected) EXPECT_FALSE(counts.Contains(key));
}

}  // namespace
}  // namespace zorvant
