// The run's status as the window sees it while the library's threads report.
#include "run/RunStatus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace szsfx {
namespace {

TEST(RunStatus, TheWindowSeesOnlyTheLatestChangeAndNothingTwice) {
  TRunStatus status;
  EXPECT_FALSE(status.Take().HasProgress);
  status.SetItem(u"C:\\out\\a.txt");
  status.SetProgress(10);
  status.SetItem(u"C:\\out\\b.txt");
  status.SetProgress(25);
  TRunStatus::TChange change = status.Take();
  EXPECT_TRUE(change.HasProgress);
  EXPECT_EQ(change.Progress, 25);
  EXPECT_TRUE(change.HasItem);
  EXPECT_EQ(change.Item, u"C:\\out\\b.txt");
  change = status.Take();
  EXPECT_FALSE(change.HasProgress);
  EXPECT_FALSE(change.HasItem);
  status.SetProgress(25);  // the same percentage is no change for the bar
  EXPECT_FALSE(status.Take().HasProgress);
  EXPECT_EQ(status.Recorded(), 5u);
  EXPECT_EQ(status.Taken(), 1u);
}

// Many items reported from another thread while the window looks now and then: every
// look sees a whole name that was reported, the percentages never go back, and the last
// look sees the last item.
TEST(RunStatus, ReportsFromAnotherThreadArriveWholeAndInOrder) {
  TRunStatus status;
  constexpr int kItems = 20000;
  std::atomic<bool> done{false};
  std::thread library([&] {
    for (int i = 0; i < kItems; ++i) {
      status.SetItem(u"C:\\out\\folder\\item" + std::u16string(static_cast<size_t>(i % 7) + 1, u'x'));
      status.SetProgress(static_cast<uint8_t>(i * 100 / kItems));
    }
    status.SetItem(u"C:\\out\\last.txt");
    done = true;
  });
  int lastProgress = -1;
  std::u16string lastItem;
  for (;;) {
    const bool finished = done;
    const TRunStatus::TChange change = status.Take();
    if (change.HasProgress) {
      EXPECT_GE(change.Progress, lastProgress);
      lastProgress = change.Progress;
    }
    if (change.HasItem) {
      EXPECT_TRUE(change.Item == u"C:\\out\\last.txt" || change.Item.rfind(u"C:\\out\\folder\\item", 0) == 0);
      lastItem = change.Item;
    }
    if (finished) break;
    std::this_thread::yield();
  }
  library.join();
  const TRunStatus::TChange rest = status.Take();
  if (rest.HasItem) lastItem = rest.Item;
  EXPECT_EQ(lastItem, u"C:\\out\\last.txt");
  EXPECT_EQ(lastProgress, 99);
  EXPECT_LT(status.Taken(), status.Recorded());
}

}  // namespace
}  // namespace szsfx
