// Each fault does what it says, on the virtual clock; and the commands that
// switch them on and off.
#include <gtest/gtest.h>

#include <algorithm>

#include "console/mower_status.h"
#include "mower_test_util.h"
#include "tools/mower/mower_commands.h"

namespace verdelo::mower {
namespace {

using testing::Answer;
using testing::Cutting;
using testing::Ask;
using testing::Bytes;
using testing::Read;


void Command(VirtualMower& mower, const std::string& line, LineMillis now = 0) {
  const CommandReply reply = RunCommand(mower, line, now);
  ASSERT_TRUE(reply.ok) << reply.text;
}

TEST(MowerFaults, SilentAnswersNothingButStillObeys) {
  VirtualMower mower(Cutting());
  Command(mower, "silent");
  EXPECT_TRUE(Ask(mower, CMD_SET_MAX_CAPACITY, 3000, 0).empty());
  EXPECT_TRUE(Ask(mower, CMD_READ_STATUS, 0, 0).empty());
  Command(mower, "resume");
  EXPECT_EQ(Ask(mower, CMD_READ_MAX_CAPACITY, 0, 0), Answer(CMD_READ_MAX_CAPACITY, 3000));
}

TEST(MowerFaults, MuteWithholdsOneRegisterInBothForms) {
  VirtualMower mower(Cutting());
  Command(mower, "mute 475");
  EXPECT_TRUE(Ask(mower, REG_BOUNDARY_FRONT, 0, 0).empty());
  EXPECT_TRUE(Ask(mower, CMD_BING, kBingValue, 0).empty());
  EXPECT_EQ(Ask(mower, CMD_READ_STATUS, 0, 0).size(), 5u);
  Command(mower, "unmute 475");
  EXPECT_EQ(Ask(mower, REG_BOUNDARY_FRONT, 0, 0).size(), 5u);
}

// A mower with a fault and a twin without it see the same requests at the
// same times, so their answers differ only by the fault.
struct Twins {
  VirtualMower faulty{Cutting()};
  VirtualMower clean{Cutting()};
  std::pair<Bytes, Bytes> Ask(std::uint16_t code, LineMillis now) {
    return {testing::Ask(faulty, code, 0, now), testing::Ask(clean, code, 0, now)};
  }
};

TEST(MowerFaults, DropLosesOneByteOfEveryNthAnswer) {
  Twins twins;
  Command(twins.faulty, "drop 3");
  for (int i = 1; i <= 9; ++i) {
    auto [got, full] = twins.Ask(CMD_READ_STATUS + (i % 2) * 0x100, i * 1000);
    if (i % 3 != 0) {
      EXPECT_EQ(got, full) << i;
      continue;
    }
    ASSERT_EQ(got.size(), 4u) << i;
    bool is_full_minus_one = false;
    for (std::size_t skip = 0; skip < full.size(); ++skip) {
      Bytes candidate = full;
      candidate.erase(candidate.begin() + skip);
      is_full_minus_one |= candidate == got;
    }
    EXPECT_TRUE(is_full_minus_one) << i;
  }
}

TEST(MowerFaults, CorruptChangesExactlyOneByteOfEveryNthAnswer) {
  Twins twins;
  Command(twins.faulty, "corrupt 2");
  for (int i = 1; i <= 8; ++i) {
    auto [got, full] = twins.Ask(REG_VOLTAGE, i * 1000);
    ASSERT_EQ(got.size(), 5u);
    int differing = 0;
    for (std::size_t k = 0; k < 5; ++k) differing += got[k] != full[k];
    EXPECT_EQ(differing, i % 2 == 0 ? 1 : 0) << i;
  }
}

TEST(MowerFaults, DelayHoldsAnswersBack) {
  VirtualMower mower(Cutting());
  Command(mower, "delay 200");
  mower.Receive(BuildRequest(CMD_READ_STATUS, 0), 1000);
  EXPECT_TRUE(mower.TakeDue(1199).empty());
  EXPECT_EQ(mower.NextDue(), 1200);
  EXPECT_EQ(testing::Concat(mower.TakeDue(1200)), Answer(CMD_READ_STATUS, STATUS_CUTTING));
  EXPECT_FALSE(mower.NextDue().has_value());
}

TEST(MowerFaults, NoPowerAtTheStation) {
  MowerOptions options = Cutting();
  options.day.start_phase = Phase::Charging;
  options.day.start_charge = 0.3;
  VirtualMower mower(options);
  EXPECT_EQ(Read(mower, REG_POWER, 0), kPowerPresentValue);
  Command(mower, "nopower");
  EXPECT_EQ(Read(mower, REG_POWER, 0), 0);
  EXPECT_LT(Read(mower, REG_CURRENT, 10000), 0);  // nothing flows in
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 10000), STATUS_CHARGING);
  Command(mower, "resume", 10000);
  EXPECT_GT(Read(mower, REG_CURRENT, 20000), 1000);
}

TEST(MowerFaults, LowCurrentStaysBelowTheConsolesThresholdUntilResumed) {
  VirtualMower mower(Cutting());
  Command(mower, "lowcurrent");
  for (int i = 1; i <= 15; ++i) EXPECT_LT(Read(mower, REG_CURRENT, i * 1000), -5000) << i;
  Command(mower, "resume", 15000);
  EXPECT_GT(Read(mower, REG_CURRENT, 16000), -5000);
}

TEST(MowerFaults, LowCurrentEmptiesTheBatteryIntoNeedsManualCharge) {
  VirtualMower mower(Cutting());
  Command(mower, "lowcurrent");
  const LineMillis later = 45 * 60 * 1000;  // 3600 mAh at 6 A
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, later), STATUS_NEED_MANUAL_CHARGE);
  EXPECT_EQ(Read(mower, CMD_READ_STOP_STATUS, later), STATUS_NEED_MANUAL_CHARGE);
  EXPECT_EQ(Read(mower, REG_ROBOT_MODE, later), kRobotModeMan);
  // The console's "Auto after Man" toggle sends it off to find the station.
  Command(mower, "resume", later);
  Ask(mower, CMD_KEY, KEY_MAN_AUTO, later);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, later), STATUS_SEARCHING_STATION);
}

TEST(MowerFaults, OutsideUntilBackedInTheWayTheGoBackScriptDoesIt) {
  VirtualMower mower(Cutting());
  Command(mower, "outside");
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 0), STATUS_OUTSIDE_BOUNDARY_ERROR);
  EXPECT_EQ(Read(mower, CMD_READ_STOP_STATUS, 0), STATUS_OUTSIDE_BOUNDARY_ERROR);
  EXPECT_LT(Read(mower, REG_BOUNDARY_FRONT, 2000), 0);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 60000), STATUS_OUTSIDE_BOUNDARY_ERROR);  // it waits
  Ask(mower, CMD_SPECIAL_MODE, kMovementTestMode, 60000);
  Ask(mower, CMD_DRIVE_SPEED_A, static_cast<std::uint16_t>(kSpeedGoBack), 60000);
  Ask(mower, CMD_DRIVE_SPEED_B, static_cast<std::uint16_t>(kSpeedGoBack), 60000);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 60100), STATUS_STOPPED);
  Ask(mower, CMD_SPECIAL_MODE, 0, 60700);
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 60700), STATUS_START_MOVING_AND_CUTTING);
  EXPECT_GT(Read(mower, REG_BOUNDARY_FRONT, 62000), 0);
  // "Stop=>0" clears the stop status; the echo still carries the 1 sent.
  EXPECT_EQ(Ask(mower, CMD_STOP_TO_ZERO, kStopToZeroValue, 62000), Answer(CMD_STOP_TO_ZERO, 1));
  EXPECT_EQ(Read(mower, CMD_READ_STOP_STATUS, 62000), 0);
}

TEST(MowerFaults, BurstSendsWellFormedAnswersOfPolledRegisters) {
  VirtualMower mower(Cutting());
  Command(mower, "burst 50", 3000);
  const Bytes bytes = testing::Concat(mower.TakeDue(3000));
  ASSERT_EQ(bytes.size(), 250u);
  for (std::size_t at = 0; at < bytes.size(); at += 5) {
    ASSERT_EQ(bytes[at], 0x0F);
    const std::uint16_t reg = static_cast<std::uint16_t>(bytes[at + 1] << 8 | bytes[at + 2]);
    EXPECT_EQ(bytes[at + 3] | bytes[at + 4] << 8, mower.registers().Get(reg)) << reg;
  }
  EXPECT_EQ((Bytes{bytes[1], bytes[2]}), (Bytes{0x01, 0xEB}));  // starts with the current
}

// Checks that the bytes are whole answer frames of polled registers.
void ExpectWholeAnswerFrames(const Bytes& bytes) {
  ASSERT_EQ(bytes.size() % 5, 0u);
  for (std::size_t at = 0; at < bytes.size(); at += 5) {
    ASSERT_EQ(bytes[at], 0x0F) << "at byte " << at;
    const int reg = bytes[at + 1] << 8 | bytes[at + 2];
    EXPECT_TRUE(reg == CMD_READ_STATUS || reg == CMD_READ_STOP_STATUS || reg == CMD_READ_MAX_CAPACITY ||
                reg == CMD_READ_SQUARE_CUTTING || (reg > 100 && reg < 15000))
        << reg;
  }
}

TEST(MowerFaults, FloodPacesWholeFramesOnTheLineClockAndStopsAtItsCount) {
  VirtualMower mower(Cutting());
  Command(mower, "flood 2304 4608", 1000);
  EXPECT_NE(RunCommand(mower, "status", 1000).text.find("flood: 2304/s, 0 sent of 4608"), std::string::npos);

  // Served the way the serve loop does it: take what is due, sleep until the
  // next due time. The next frame is never due in the past, and never more
  // than a millisecond away while the flood runs.
  Bytes first_second, all;
  int most_in_one_wake = 0;
  for (LineMillis now = 1000; now <= 4000;) {
    if (now == 1500) {  // a request answered in the middle of the flood
      const MowerFrame request = BuildRequest(REG_VOLTAGE, 0);
      mower.Receive(request, now);
    }
    const Bytes bytes = testing::Concat(mower.TakeDue(now));
    most_in_one_wake = std::max(most_in_one_wake, static_cast<int>(bytes.size() / 5));
    all.insert(all.end(), bytes.begin(), bytes.end());
    if (now > 1000 && now <= 2000) first_second.insert(first_second.end(), bytes.begin(), bytes.end());
    const auto next = mower.NextDue();
    if (!next) break;
    ASSERT_GT(*next, now);
    ASSERT_LE(*next, now + 1);
    now = *next;
  }
  EXPECT_EQ(first_second.size(), 2304u * 5 + 5);  // a second's worth, and the voltage answer
  EXPECT_LE(most_in_one_wake, 4);                 // 2.3 frames a millisecond, plus that answer
  EXPECT_EQ(all.size(), 4608u * 5 + 5);
  ExpectWholeAnswerFrames(all);
  EXPECT_EQ((Bytes{all[1], all[2]}), (Bytes{0x01, 0xEB}));  // polled order, current first
  EXPECT_FALSE(mower.flooding());
  EXPECT_EQ(mower.flood_sent(), 4608);
  EXPECT_TRUE(mower.TakeDue(9000).empty());

  // Without a count it runs until told to stop.
  Command(mower, "flood 1000", 10000);
  EXPECT_EQ(testing::Concat(mower.TakeDue(10999)).size(), 1000u * 5);
  Command(mower, "flood 0", 11000);
  EXPECT_FALSE(mower.NextDue());
  EXPECT_TRUE(mower.TakeDue(20000).empty());

  // The voltage flood: voltage answers only, each new, in range, both ways.
  Command(mower, "flood 1000 900 voltage", 30000);
  const Bytes volts = testing::Concat(mower.TakeDue(31000));
  ASSERT_EQ(volts.size(), 900u * 5);
  for (std::size_t at = 0, last = 0; at < volts.size(); at += 5) {
    const std::size_t mv = volts[at + 3] | volts[at + 4] << 8;
    EXPECT_TRUE((Bytes{volts[at], volts[at + 1], volts[at + 2]}) == (Bytes{0x0F, 0x2E, 0xF4}) && mv >= 23000 &&
                mv <= 24200 && mv != last)
        << "at byte " << at << ": " << mv;
    last = mv;
  }

  for (const char* line : {"flood", "flood -1", "flood 100001", "flood fast", "flood 10 -5", "flood 10 5 5",
                           "flood voltage", "flood 10 voltage 5", "flood 10 5 amps"})
    EXPECT_FALSE(RunCommand(mower, line, 0).ok) << line;
}

TEST(MowerFaults, GarbageSendsTheNumberOfBytesAsked) {
  VirtualMower mower(Cutting());
  Command(mower, "garbage 100", 5);
  const auto out = mower.TakeDue(5);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].kind, Outgoing::Kind::Garbage);
  EXPECT_EQ(out[0].bytes.size(), 100u);
}

TEST(MowerFaults, ResumeEndsEveryFaultAtOnce) {
  VirtualMower mower(Cutting());
  for (const char* line : {"silent", "mute 491", "drop 2", "corrupt 3", "delay 50", "nopower",
                           "lowcurrent", "outside"})
    Command(mower, line);
  EXPECT_NE(RunCommand(mower, "status", 0).text.find("faults: silent, mute 491"), std::string::npos);
  Command(mower, "resume");
  EXPECT_FALSE(mower.faults().any());
  EXPECT_FALSE(mower.day().no_power() || mower.day().low_current());
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 0), STATUS_START_MOVING_AND_CUTTING);
  EXPECT_NE(RunCommand(mower, "status", 0).text.find("faults: none"), std::string::npos);
}

TEST(MowerFaults, CommandsRejectWhatTheyCannotDo) {
  VirtualMower mower(Cutting());
  for (const char* line : {"mute", "mute 40000", "drop x", "delay -1", "speed 0", "speed fast",
                           "set 1", "phase lunch", "frobnicate", "silent now"})
    EXPECT_FALSE(RunCommand(mower, line, 0).ok) << line;
  EXPECT_TRUE(RunCommand(mower, "", 0).ok);
  Command(mower, "set 0x1234 -2");
  EXPECT_EQ(Read(mower, 0x1234, 0), -2);
  Command(mower, "phase guide");
  EXPECT_EQ(Read(mower, CMD_READ_STATUS, 0), STATUS_FOLLOWING_GUIDE);
}

}  // namespace
}  // namespace verdelo::mower
