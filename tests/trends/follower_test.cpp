// A data log that grows, is cut or replaced while it is shown, and the
// loader that reads it in the background.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <functional>

#include "tests/trends/log_maker.h"
#include "tests/trends/time_zone.h"
#include "trends/log_follower.h"
#include "trends/log_loader.h"

namespace verdelo::trends {
namespace {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = "/tmp/verdelo-trends-XXXXXX";
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  std::filesystem::path operator/(const char* name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void Write(const std::filesystem::path& file, const std::string& bytes, std::ios::openmode mode = std::ios::trunc) {
  std::ofstream out(file, std::ios::binary | mode);
  out << bytes;
}

std::string ReadAll(LogFollower& follower, LogFollower::Result* last = nullptr) {
  std::string all, bytes;
  for (;;) {
    const LogFollower::Result r = follower.Read(bytes, 7);
    if (last) *last = r;
    if (r != LogFollower::Result::Data) return all;
    all += bytes;
  }
}

TEST(LogFollower, ReadsWhatIsAppendedAndStartsOverWhenTheFileChanges) {
  TempFolder dir;
  const auto file = dir / "Moro-log.txt";
  LogFollower follower(file);
  std::string bytes;
  EXPECT_EQ(follower.Read(bytes, 100), LogFollower::Result::Missing);
  Write(file, "first line\r\n");
  EXPECT_EQ(ReadAll(follower), "first line\r\n");
  Write(file, "second\r\n", std::ios::app);
  EXPECT_EQ(ReadAll(follower), "second\r\n");
  EXPECT_EQ(follower.offset(), 20u);

  struct Change {
    const char* what;
    std::function<void()> make;
    std::string after;
  };
  for (const Change& change : std::initializer_list<Change>{
           {"truncated", [&] { Write(file, "new\r\n"); }, "new\r\n"},
           {"rewritten longer",
            [&] { Write(file, "FIRST LINE, other text of a greater length\r\n"); },
            "FIRST LINE, other text of a greater length\r\n"},
           {"replaced",
            [&] {
              Write(dir / "other.txt", "FIRST LINE, other text of a greater length\r\nmore\r\n");
              std::filesystem::rename(dir / "other.txt", file);
            },
            "FIRST LINE, other text of a greater length\r\nmore\r\n"},
           {"emptied", [&] { Write(file, ""); }, ""},
       }) {
    change.make();
    LogFollower::Result last;
    EXPECT_EQ(follower.Read(bytes, 100), LogFollower::Result::StartedOver) << change.what;
    EXPECT_EQ(ReadAll(follower, &last), change.after) << change.what;
    EXPECT_EQ(last, LogFollower::Result::NothingNew) << change.what;
  }
  // Deleted: what was read stays, nothing new comes.
  std::filesystem::remove(file);
  EXPECT_EQ(follower.Read(bytes, 100), LogFollower::Result::NothingNew);
}

TEST(LogLoader, LoadsInTheBackgroundThenFollowsAndStartsOverOnTruncation) {
  test::ScopedTimeZone utc("UTC");
  TempFolder dir;
  const auto file = dir / "Moro-log.txt";
  const test::MadeLog day = test::MakeMowingLog({2026, 5, 1, 0, 0, 0, 0}, 24 * 60);
  Write(file, day.bytes);
  SeriesStore store;
  LogLoader loader(store);
  loader.Start(file, true);
  ASSERT_TRUE(loader.WaitCaughtUp(std::chrono::seconds(20)));
  LogLoader::Status s = loader.status();
  EXPECT_TRUE(s.running);
  EXPECT_EQ(s.stats.kept, static_cast<std::uint64_t>(day.dataLines + day.eventLines));
  EXPECT_EQ(s.done, day.bytes.size());
  const auto range = store.TimeRange();
  ASSERT_TRUE(range);
  EXPECT_EQ(range->second - range->first, (24 * 60 - 1) * 60000LL);

  // Half a line, then its rest: kept once whole.
  Write(file, "02/05/2026;00:00:00; 1014; 1800;20;26000;", std::ios::app);
  ASSERT_TRUE(loader.WaitCaughtUp(std::chrono::seconds(20)));
  Write(file, "2000;   0;0;    0;    0;    0;    0;\r\n", std::ios::app);
  ASSERT_TRUE(loader.WaitCaughtUp(std::chrono::seconds(20)));
  EXPECT_EQ(loader.status().stats.kept, s.stats.kept + 1);
  EXPECT_EQ(loader.status().stats.skipped(), 0u);
  EXPECT_EQ(store.At(SeriesId::Charge, range->second + 60000)->least, 2000);

  Write(file, test::MakeMowingLog({2026, 6, 1, 0, 0, 0, 0}, 10).bytes);
  ASSERT_TRUE(loader.WaitCaughtUp(std::chrono::seconds(20)));
  s = loader.status();
  EXPECT_EQ(s.startedOver, 1);
  EXPECT_EQ(s.stats.skipped(), 0u);
  EXPECT_EQ(store.TimeRange()->first, 1780272000000);  // 2026-06-01 00:00 UTC: the old day is gone
  loader.Stop();
  EXPECT_FALSE(loader.status().running);
}

TEST(LogLoader, StopKeepsWhatWasReadAndAMissingFileIsReported) {
  TempFolder dir;
  SeriesStore store;
  LogLoader loader(store);
  loader.Start(dir / "absent.txt", false);
  ASSERT_TRUE(loader.WaitCaughtUp(std::chrono::seconds(20)));
  EXPECT_EQ(loader.status().missingError, ENOENT);
  loader.Stop();

  Write(dir / "log.txt", test::MakeMowingLog({2026, 5, 1, 0, 0, 0, 0}, 60).bytes);
  loader.Start(dir / "log.txt", false);
  ASSERT_TRUE(loader.WaitCaughtUp(std::chrono::seconds(20)));
  loader.Stop();
  EXPECT_FALSE(loader.status().running);
  EXPECT_TRUE(loader.status().caughtUp);
  EXPECT_TRUE(store.TimeRange());
}

}  // namespace
}  // namespace verdelo::trends
