// Waiting for a device to come back: a link to a pseudo-terminal re-pointed
// at a new one, a folder that appears before its device, and quiet while
// nothing changes.
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "serial/device_watch.h"
#include "tests/serial/pty_pair.h"

namespace verdelo {
namespace {

namespace fs = std::filesystem;

bool Wakes(const DeviceWatch& watch, int timeoutMs) {
  pollfd p{watch.fd(), POLLIN, 0};
  return ::poll(&p, 1, timeoutMs) == 1;
}

class DeviceWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/verdelo-watch-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    dir = name;
  }
  void TearDown() override { fs::remove_all(dir); }

  // Points `link` at `target`, replacing it at once as udev does.
  void PointLink(const fs::path& link, const std::string& target) {
    const fs::path fresh = link.string() + ".new";
    fs::create_symlink(target, fresh);
    fs::rename(fresh, link);
  }

  fs::path dir;
};

TEST_F(DeviceWatchTest, LinkRePointedAtANewPseudoTerminalWakesTheWatch) {
  auto first = std::make_unique<test::PtyPair>();
  const fs::path link = dir / "com1";
  PointLink(link, first->SlavePath());
  DeviceWatch watch(link.string());
  ASSERT_GE(watch.fd(), 0);
  // Still there, it is the device given up on, not one that came back.
  EXPECT_FALSE(watch.Check());

  first.reset();  // the device goes: its node goes with it
  EXPECT_FALSE(watch.Check());

  test::PtyPair second;
  PointLink(link, second.SlavePath());
  EXPECT_TRUE(Wakes(watch, 1000));
  EXPECT_TRUE(watch.Check());
}

TEST_F(DeviceWatchTest, TheSameDeviceCountsAsBackOnceItHasBeenAway) {
  test::PtyPair first, second;
  const fs::path link = dir / "com1";
  PointLink(link, first.SlavePath());
  DeviceWatch watch(link.string());
  EXPECT_FALSE(watch.Check());
  PointLink(link, second.SlavePath());  // replaced: another device
  EXPECT_TRUE(watch.Check());

  DeviceWatch again(link.string());
  fs::remove(link);
  EXPECT_FALSE(again.Check());
  PointLink(link, second.SlavePath());  // the very same, back after an absence
  EXPECT_TRUE(again.Check());
}

TEST_F(DeviceWatchTest, FolderThatAppearsFirstIsWatchedInTurn) {
  const fs::path folder = dir / "by-id";
  const fs::path device = folder / "usb-adapter";
  DeviceWatch watch(device.string());
  EXPECT_FALSE(watch.Check());

  fs::create_directory(folder);
  ASSERT_TRUE(Wakes(watch, 1000));
  EXPECT_FALSE(watch.Check());  // the folder only; now watched itself
  EXPECT_FALSE(Wakes(watch, 200));

  test::PtyPair pty;
  PointLink(device, pty.SlavePath());
  ASSERT_TRUE(Wakes(watch, 1000));
  EXPECT_TRUE(watch.Check());
}

TEST_F(DeviceWatchTest, UnrelatedQuietAndRepeatedChecksDoNotWakeIt) {
  DeviceWatch watch((dir / "ttyUSB0").string());
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(watch.Check());
  EXPECT_FALSE(Wakes(watch, 300));
}

}  // namespace
}  // namespace verdelo
