#include <gtest/gtest.h>

#include <algorithm>

#include "common/pseudo_random.h"
#include "common/stop_flag.h"
#include "random/prng.h"
#include "tests/support/fakes.h"

namespace torvane {
namespace {

using testing::RecordingMessageBoxes;
using testing::ScriptedPump;

TEST(NonRepeatingNbrs, DistinctValuesOfTheProgression) {
  cPrng prng;
  EXPECT_EQ(prng.NonRepeatingNbrs(5, 1, 10, -2, true), (std::vector{1, 3, 5, 7, 9, 0}));
  auto picked = prng.NonRepeatingNbrs(20, -50, 100, 5);
  ASSERT_EQ(picked.size(), 21u);
  EXPECT_EQ(picked.back(), 0);
  picked.pop_back();
  EXPECT_FALSE(std::is_sorted(picked.begin(), picked.end()));
  for (std::int32_t v : picked) EXPECT_TRUE(v >= -50 && v <= 100 && (v + 50) % 5 == 0) << v;
  std::sort(picked.begin(), picked.end());
  EXPECT_EQ(std::adjacent_find(picked.begin(), picked.end()), picked.end());
}

// Counts the draws, which tell the passes apart.
struct CountingRandom : XoshiroRandom {
  CountingRandom() : previous(InstallPseudoRandom(this)) {}
  ~CountingRandom() override { InstallPseudoRandom(previous); }
  double Next() override { return ++draws, XoshiroRandom::Next(); }
  int draws = 0;
  PseudoRandom* previous;
};

TEST(ReshuffleData, PassCountsAndWhatItKeeps) {
  const Values sorted{1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0, "spare"};
  for (auto [mix, passes] : {std::pair{0, 15}, {-4, 15}, {1, 1}, {99, 99}, {500, 99}}) {
    cPrng prng;
    Values data = sorted;
    CountingRandom counting;
    prng.ReshuffleData(data, mix);
    EXPECT_EQ(counting.draws, 3 + passes * 10) << mix;  // the re-seed draws three
    EXPECT_NE(data, sorted);
    std::sort(data.begin(), data.end() - 1);
    EXPECT_EQ(data, sorted);
  }
}

TEST(CombSort, BothDirectionsNeverMovingTheSpare) {
  cPrng prng;
  for (bool ascending : {true, false}) {
    Values data(101, -1.0);  // the spare: it would lead if it were sorted
    for (int i = 0; i < 100; ++i) data[i] = static_cast<double>((i * 37) % 100);
    ASSERT_TRUE(prng.CombSort(data, ascending));
    EXPECT_EQ(std::get<double>(data.back()), -1.0);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(std::get<double>(data[i]), ascending ? i : 99 - i);

    Values two{2.0, 1.0, 0.0};
    prng.CombSort(two, ascending);
    EXPECT_EQ(two, ascending ? (Values{1.0, 2.0, 0.0}) : (Values{2.0, 1.0, 0.0}));
  }
  Values mixed{"b", 10.0, "\xE9", 2.0, "B", "z", ""};
  prng.CombSort(mixed);
  EXPECT_EQ(mixed, (Values{2.0, 10.0, "B", "b", "z", "\xE9", ""}));
}

TEST(RemoveDupes, KeepsTheFirstOfEachGroupAndOneSpare) {
  struct Row {
    Values in;
    bool case_sensitive;
    Values out;
    int removed;
  } rows[] = {
      {{"b", "A", "a", "c", ""}, false, {"A", "b", "c", ""}, 1},
      {{"b", "A", "a", "c", ""}, true, {"A", "a", "b", "c", ""}, 0},
      {{"A", "B", "a", ""}, false, {"A", "B", ""}, 1},               // equal items apart
      {{"b", " a ", "", "a", "  ", ""}, true, {" a ", "b", ""}, 1},  // blanks go, uncounted
      {{3.0, 1.0, 3.0, "3", 0.0}, true, {1.0, 3.0, ""}, 2},
  };
  for (Row& row : rows) {
    std::int32_t removed = -1;
    EXPECT_TRUE(cPrng().RemoveDupes(row.in, row.case_sensitive, removed));
    EXPECT_EQ(row.in, row.out);
    EXPECT_EQ(removed, row.removed);
  }
}

TEST(RemoveDupes, AStopWhileSortingLeavesTheArrayWholeWithoutABox) {
  RecordingMessageBoxes boxes;
  cPrng prng;
  ScriptedPump pump;
  pump.stop_at = 3;  // inside the sort
  Values data{"c", "b", "a", "a", "d", ""};
  EXPECT_FALSE(prng.RemoveDupes(data));
  EXPECT_EQ(data.size(), 6u);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(ArrayMembers, IsArrayInitializedEmptyCollectionAndSwapLong) {
  cPrng prng;
  EXPECT_NE(prng.IsArrayInitialized(RndResult(Bytes(3))), 0);
  EXPECT_NE(prng.IsArrayInitialized(Values(1)), 0);
  for (const RndResult& none : {RndResult(), RndResult(Bytes()), RndResult("ab")})
    EXPECT_EQ(prng.IsArrayInitialized(none), 0);

  struct Recording : Collection {
    explicit Recording(std::vector<std::int32_t>& log) : log(log) {}
    void Remove(std::int32_t index) override { log.push_back(index), Collection::Remove(index); }
    std::vector<std::int32_t>& log;
  };
  std::vector<std::int32_t> log;
  std::unique_ptr<Collection> items = std::make_unique<Recording>(log);
  for (const char* item : {"x", "y", "z"}) items->Add(item);
  prng.EmptyCollection(items);
  EXPECT_EQ(log, (std::vector<std::int32_t>{3, 2, 1}));
  EXPECT_FALSE(items);

  std::int32_t a = 5, b = -9;
  prng.SwapLong(a, b);
  prng.SwapLong(a, a);
  EXPECT_EQ(std::pair(a, b), std::pair(-9, 5));
}

}  // namespace
}  // namespace torvane
