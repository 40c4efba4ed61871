// Exact bytes on the line: how requests are assembled and how they are answered.
#include <gtest/gtest.h>

#include "console/mower_status.h"
#include "mower_test_util.h"
#include "tools/mower/request.h"

namespace verdelo::mower {
namespace {

using testing::Answer;
using testing::Ask;
using testing::Bytes;

MowerOptions AtHome() {
  MowerOptions options;
  options.day.start_phase = Phase::AtHomeCharged;
  return options;
}

TEST(MowerAnswers, ReadsAnswerTheStoredValueLowByteFirst) {
  VirtualMower mower(AtHome());
  EXPECT_EQ(Ask(mower, CMD_READ_STATUS, 0, 0), (Bytes{0x0F, 0x01, 0xF1, 0x20, 0x04}));  // 1056
  EXPECT_EQ(Ask(mower, REG_ROBOT_MODE, 0, 0), (Bytes{0x0F, 0x01, 0x2C, 0x01, 0x00}));  // auto
  EXPECT_EQ(Ask(mower, CMD_READ_MAX_CAPACITY, 0, 0), (Bytes{0x0F, 0x00, 0xB1, 0x94, 0x11}));  // 4500
  EXPECT_EQ(Ask(mower, REG_POWER, 0, 0), (Bytes{0x0F, 0x03, 0x92, 0x06, 0x00}));
  // The value of a read request is not stored.
  EXPECT_EQ(Ask(mower, 0x1234, 0x5566, 0), (Bytes{0x0F, 0x12, 0x34, 0x00, 0x00}));
}

TEST(MowerAnswers, WritesStoreTheValueAndEchoIt) {
  VirtualMower mower(AtHome());
  EXPECT_EQ(Ask(mower, CMD_SET_MAX_CAPACITY, 2500, 0), (Bytes{0x0F, 0x80, 0xB1, 0xC4, 0x09}));
  EXPECT_EQ(Ask(mower, CMD_READ_MAX_CAPACITY, 0, 0), (Bytes{0x0F, 0x00, 0xB1, 0xC4, 0x09}));
  // A signed value travels as its two's complement.
  EXPECT_EQ(Ask(mower, CMD_DRIVE_SPEED_A, 0xFF5A, 0), (Bytes{0x0F, 0x81, 0x99, 0x5A, 0xFF}));
  EXPECT_EQ(Ask(mower, CMD_BING, kBingValue, 0), (Bytes{0x0F, 0x81, 0xDB, 0x25, 0xA0}));
  EXPECT_EQ(Ask(mower, CMD_SET_TIMER_OVERRIDE, 1, 0), Answer(CMD_SET_TIMER_OVERRIDE, 1));
  EXPECT_EQ(Ask(mower, CMD_READ_TIMER_OVERRIDE, 0, 0), Answer(CMD_READ_TIMER_OVERRIDE, 1));
}

TEST(MowerAnswers, EveryRegisterExistsIncludingCodesTheConsoleNeverUses) {
  VirtualMower mower(AtHome());
  EXPECT_EQ(Ask(mower, 0x9234, 0xABCD, 0), (Bytes{0x0F, 0x92, 0x34, 0xCD, 0xAB}));
  EXPECT_EQ(Ask(mower, 0x1234, 0, 0), (Bytes{0x0F, 0x12, 0x34, 0xCD, 0xAB}));
  EXPECT_EQ(Ask(mower, 0xFFFF, 0x1234, 0), (Bytes{0x0F, 0xFF, 0xFF, 0x34, 0x12}));
  EXPECT_EQ(Ask(mower, 0x7FFF, 0, 0), (Bytes{0x0F, 0x7F, 0xFF, 0x34, 0x12}));
  EXPECT_EQ(Ask(mower, 0x0000, 0, 0), (Bytes{0x0F, 0x00, 0x00, 0x00, 0x00}));
  // Codes that read like orders but carry 0 (as a memory dump sends them)
  // are plain reads and change nothing.
  EXPECT_EQ(Ask(mower, CMD_REBOOT, 0, 0), Answer(CMD_REBOOT, 0));
  EXPECT_EQ(mower.day().status(), STATUS_AT_HOME_CHARGED);
}

TEST(MowerAnswers, AssemblerWaitsForStartByteAndTakesInnerStartBytesAsData) {
  FrameAssembler assembler;
  std::vector<Request> got;
  for (std::uint8_t b : {0x00, 0x42, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x01, 0xEB, 0x00, 0x00})
    if (assembler.Push(b)) got.push_back(Request::Of(assembler.frame()));
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (Request{0x0F0F, 0x0F0F}));
  EXPECT_EQ(got[1], (Request{0x01EB, 0}));
  EXPECT_EQ(assembler.received(), 0u);
}

TEST(MowerAnswers, FrameSplitAcrossReadsIsAnsweredOnceComplete) {
  VirtualMower mower(AtHome());
  const Bytes first{0x0F, 0x01}, rest{0xF1, 0x00, 0x00};
  EXPECT_TRUE(mower.Receive(first, 0).empty());
  EXPECT_TRUE(mower.TakeDue(0).empty());
  EXPECT_EQ(mower.Receive(rest, 1).size(), 1u);
  EXPECT_EQ(testing::Concat(mower.TakeDue(1)), Answer(CMD_READ_STATUS, 1056));
}

TEST(MowerAnswers, LostByteSwallowsTheNextFrameUntilAStartByteArrivesWhileWaiting) {
  VirtualMower mower(AtHome());
  // 0F 01 F1 00 lost its last byte: it takes the next frame's 0F as its value
  // and the rest of that frame (01 EB 00 00) is dropped while waiting.
  const Bytes stream{0x0F, 0x01, 0xF1, 0x00, 0x0F, 0x01, 0xEB, 0x00, 0x00,
                     0x0F, 0x01, 0x2C, 0x00, 0x00};
  const auto requests = mower.Receive(stream, 0);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], (Request{0x01F1, 0x000F}));
  EXPECT_EQ(requests[1], (Request{0x012C, 0}));
  Bytes expected = Answer(0x01F1, 1056);
  const Bytes mode = Answer(0x012C, 1);
  expected.insert(expected.end(), mode.begin(), mode.end());
  EXPECT_EQ(testing::Concat(mower.TakeDue(0)), expected);
}

}  // namespace
}  // namespace verdelo::mower
