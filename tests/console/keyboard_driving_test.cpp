// The movement buttons and the PC keys that drive the mower.
#include <gtest/gtest.h>

#include "console/control_ids.h"
#include "tests/console/console_rig.h"

namespace verdelo::test {
namespace {

using Frames = std::vector<std::string>;

class KeyboardDriving : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.WriteConfig({"[NO_SPLASH_DIALOG]", "[VALUES_UPDATE_DISABLE]1"});
    rig.Start();
  }
  Frames Click(int id) {
    rig.link.ClearRecords();
    rig.Click(id);
    return rig.SentHex();
  }
  Frames Key(unsigned vk, bool expectConsumed = true) {
    rig.link.ClearRecords();
    EXPECT_EQ(rig.console.OnKeyDown(vk), expectConsumed) << vk;
    return rig.SentHex();
  }
  // Pauses and tones of the last action, as "p20" and "b200/50".
  std::vector<std::string> PacingSince(std::size_t from) const {
    std::vector<std::string> out;
    const auto& all = rig.clock.pacing();
    for (std::size_t i = from; i < all.size(); ++i)
      out.push_back(all[i].hz ? 'b' + std::to_string(all[i].hz) + "/" + std::to_string(all[i].ms)
                              : 'p' + std::to_string(all[i].ms));
    return out;
  }
  ConsoleRig rig;
};

TEST_F(KeyboardDriving, InitMovementSequenceWithItsPacing) {
  const std::size_t before = rig.clock.pacing().size();
  EXPECT_EQ(Click(IDC_INIT_MOVEMENT),
            (Frames{"0F 92 03 00 00", "0F 92 23 00 00", "0F 81 0D 5A 42", "0F 80 5F 00 0F",
                    "0F 81 9A 00 90", "0F 81 99 00 90", "0F 80 5F 00 0F"}));
  EXPECT_EQ(PacingSince(before),
            (std::vector<std::string>{"p20", "b200/50", "b200/50", "p20", "b1000/50"}));
}

TEST_F(KeyboardDriving, EachButton) {
  EXPECT_EQ(Click(IDC_FORWARD), (Frames{"0F 81 9A 00 90", "0F 81 99 00 90", "0F 80 5F 00 0F"}));
  EXPECT_EQ(Click(IDC_BACKWARD), (Frames{"0F 81 9A FF 5A", "0F 81 99 FF 5A", "0F 80 5F 00 0F"}));
  EXPECT_EQ(Click(IDC_GO), (Frames{"0F 92 03 80 00", "0F 92 23 80 00"}));
  EXPECT_EQ(Click(IDC_MOVE_STOP), (Frames{"0F 92 03 00 00", "0F 92 23 00 00"}));
  EXPECT_EQ(Click(IDC_MOVE_LEFT), (Frames{"0F 92 03 00 00", "0F 92 23 80 00"}));
  EXPECT_EQ(Click(IDC_MOVE_RIGHT), (Frames{"0F 92 23 00 00", "0F 92 03 80 00"}));
  rig.Click(IDC_LEFT_RIGHT);
  EXPECT_EQ(Click(IDC_MOVE_LEFT), (Frames{"0F 92 23 00 00", "0F 92 03 80 00"}));
  EXPECT_EQ(Click(IDC_MOVE_RIGHT), (Frames{"0F 92 03 00 00", "0F 92 23 80 00"}));
}

TEST_F(KeyboardDriving, GoTakesSeventyMillisecondsWithThePortClosed) {
  rig.link.setPortOpen(0);
  const auto start = rig.clock.now();
  EXPECT_EQ(Click(IDC_GO), Frames{});
  EXPECT_EQ(rig.clock.now() - start, 70);
  const std::size_t before = rig.clock.pacing().size();
  Click(IDC_INIT_MOVEMENT);
  std::uint32_t total = 0;
  for (std::size_t i = before; i < rig.clock.pacing().size(); ++i) total += rig.clock.pacing()[i].ms;
  EXPECT_EQ(total, 190u);
}

TEST_F(KeyboardDriving, KeysActOnlyWhileKeyboardIsTicked) {
  for (unsigned vk : {13u, 33u, 34u, 37u, 38u, 39u, 40u}) EXPECT_EQ(Key(vk, false), Frames{});
  rig.Click(IDC_KEYBOARD);
  EXPECT_EQ(Key(13), Click(IDC_INIT_MOVEMENT));
  EXPECT_EQ(Key(33), Click(IDC_FORWARD));
  EXPECT_EQ(Key(34), Click(IDC_BACKWARD));
  EXPECT_EQ(Key(38), Click(IDC_GO));
  EXPECT_EQ(Key(40), Click(IDC_MOVE_STOP));
  EXPECT_EQ(Key(37), Click(IDC_MOVE_LEFT));
  EXPECT_EQ(Key(39), Click(IDC_MOVE_RIGHT));
  for (unsigned vk : {9u, 27u, 32u, 36u, 65u, 112u}) EXPECT_EQ(Key(vk, false), Frames{});
}

TEST_F(KeyboardDriving, LeftArrowFollowsTheSwapAndARepeatedKeyRepeats) {
  rig.Click(IDC_KEYBOARD);
  rig.Click(IDC_LEFT_RIGHT);
  EXPECT_EQ(Key(37), (Frames{"0F 92 23 00 00", "0F 92 03 80 00"}));
  rig.link.ClearRecords();
  for (int i = 0; i < 3; ++i) rig.console.OnKeyDown(38);
  EXPECT_EQ(rig.SentHex().size(), 6u);
}

}  // namespace
}  // namespace verdelo::test
