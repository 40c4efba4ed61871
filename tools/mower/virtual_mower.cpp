#include "tools/mower/virtual_mower.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "console/mower_frame.h"

namespace verdelo::mower {
namespace {

// The registers the console asks for in its poll cycle; a burst repeats them.
constexpr std::uint16_t kPolledRegisters[] = {
    REG_CURRENT,        REG_TEMPERATURE,   REG_BOUNDARY_FRONT, REG_VOLTAGE,
    REG_VALUE12030,     REG_GUIDE_G1,      REG_VALUE127,       REG_STATUS,
    REG_STOP_STATUS,    REG_CLOCK_SECONDS, REG_POWER,          REG_MAX_CAPACITY,
    REG_CHARGE,         REG_BOUNDARY_REAR, REG_QUALITY,        REG_FAR_SIGNAL,
    REG_NEAR_SIGNAL,    REG_CLOCK_MINUTES, REG_ROBOT_MODE,     REG_MAX_CHARGE_TIME,
    REG_CUTTING_EFFORT, REG_CLOCK_HOURS,   REG_SQUARE_CUTTING,
};

// The voltage flood's values: up and down between 23.0 and 24.2 V in steps
// of 3 mV, so no answer repeats the one before it, and well above the level
// at which the console sends charge pulses.
constexpr long kFloodLowMillivolts = 23000;
constexpr long kFloodSpanMillivolts = 1200;
constexpr long kFloodStepMillivolts = 3;

std::uint16_t FloodVoltage(long n) {
  const long phase = n * kFloodStepMillivolts % (2 * kFloodSpanMillivolts);
  return static_cast<std::uint16_t>(kFloodLowMillivolts +
                                    (phase <= kFloodSpanMillivolts ? phase : 2 * kFloodSpanMillivolts - phase));
}

}  // namespace

VirtualMower::VirtualMower(const MowerOptions& options)
    : day_(registers_, options.day), faults_(options.seed), speed_(options.speed) {}

std::vector<Request> VirtualMower::Receive(std::span<const std::uint8_t> bytes, LineMillis now) {
  AdvanceTo(now);
  std::vector<Request> requests;
  for (std::uint8_t byte : bytes) {
    if (!assembler_.Push(byte)) continue;
    const Request request = Request::Of(assembler_.frame());
    requests.push_back(request);
    // A silent or muted mower still hears and obeys; only its answer is lost.
    registers_.Apply(request);
    day_.OnRequest(request);
    if (faults_.Withholds(request.reg())) continue;
    Outgoing answer{Outgoing::Kind::Answer, faults_.Damage(registers_.AnswerTo(request))};
    Queue(now + faults_.delay_ms, std::move(answer));
  }
  return requests;
}

void VirtualMower::Queue(LineMillis due, Outgoing outgoing) {
  // Stable: bytes due at the same time keep the order they were queued in.
  auto at = std::upper_bound(outbox_.begin(), outbox_.end(), due,
                             [](LineMillis t, const auto& entry) { return t < entry.first; });
  outbox_.insert(at, {due, std::move(outgoing)});
}

std::vector<Outgoing> VirtualMower::TakeDue(LineMillis now) {
  std::vector<Outgoing> due;
  while (!outbox_.empty() && outbox_.front().first <= now) {
    due.push_back(std::move(outbox_.front().second));
    outbox_.pop_front();
  }
  if (flooding() && FloodDue(flood_.sent) <= now) {
    AdvanceTo(now);
    Outgoing frames{Outgoing::Kind::Flood, {}};
    while (flooding() && FloodDue(flood_.sent) <= now) {
      AppendFloodAnswer(frames.bytes);
      if (++flood_.sent == flood_.limit) {
        const long sent = flood_.sent;
        StopFlood();
        flood_.sent = sent;
      }
    }
    due.push_back(std::move(frames));
  }
  return due;
}

std::optional<LineMillis> VirtualMower::NextDue() const {
  std::optional<LineMillis> next;
  if (!outbox_.empty()) next = outbox_.front().first;
  if (flooding()) {
    const LineMillis flood = FloodDue(flood_.sent);
    if (!next || flood < *next) next = flood;
  }
  return next;
}

LineMillis VirtualMower::FloodDue(long n) const {
  // Whole milliseconds, as the line clock counts: a frame never leaves early.
  return flood_.start + static_cast<LineMillis>(std::ceil(static_cast<double>(n) * 1000.0 / flood_.rate - 1e-9));
}

void VirtualMower::StartFlood(double frames_per_second, long frames, LineMillis now, FloodKind kind) {
  flood_ = Flood{};
  if (!(frames_per_second > 0)) return;
  flood_.rate = frames_per_second;
  flood_.limit = frames > 0 ? frames : 0;
  flood_.start = now;
  flood_.kind = kind;
}

void VirtualMower::AdvanceTo(LineMillis now) {
  const double sim = speed_since_sim_ + static_cast<double>(now - speed_since_line_) * speed_;
  day_.AdvanceTo(static_cast<SimMillis>(std::floor(sim)));
}

void VirtualMower::SetSpeed(double factor, LineMillis now) {
  AdvanceTo(now);
  speed_since_sim_ += static_cast<double>(now - speed_since_line_) * speed_;
  speed_since_line_ = now;
  speed_ = factor;
}

void VirtualMower::SendBurst(int frames, LineMillis now) {
  AdvanceTo(now);
  Outgoing burst{Outgoing::Kind::Burst, {}};
  for (int i = 0; i < frames; ++i) AppendPolledAnswer(burst.bytes);
  Queue(now, std::move(burst));
}

void VirtualMower::AppendPolledAnswer(std::vector<std::uint8_t>& bytes) {
  constexpr std::size_t kPolled = std::size(kPolledRegisters);
  const std::uint16_t reg = kPolledRegisters[burst_next_++ % kPolled];
  const MowerFrame frame = BuildAnswer(reg, registers_.Get(reg));
  bytes.insert(bytes.end(), frame.begin(), frame.end());
}

void VirtualMower::AppendFloodAnswer(std::vector<std::uint8_t>& bytes) {
  if (flood_.kind == FloodKind::Polled) {
    AppendPolledAnswer(bytes);
    return;
  }
  const MowerFrame frame = BuildAnswer(REG_VOLTAGE, FloodVoltage(flood_.sent));
  bytes.insert(bytes.end(), frame.begin(), frame.end());
}

void VirtualMower::SendGarbage(int count, LineMillis now) {
  Queue(now, Outgoing{Outgoing::Kind::Garbage, faults_.Garbage(count)});
}

void VirtualMower::Resume() {
  faults_.Clear();
  day_.ClearFaults();
}

std::string VirtualMower::Describe() const {
  const int t = day_.seconds_of_day();
  char text[256];
  std::snprintf(text, sizeof text,
                "%02d:%02d:%02d status %d (%s) %u mV %d mA %d mAh %d C mode %u power %u",
                t / 3600, t / 60 % 60, t % 60, day_.status(), NameOf(day_.phase()),
                registers_.Get(REG_VOLTAGE), registers_.GetSigned(REG_CURRENT),
                registers_.GetSigned(REG_CHARGE), registers_.GetSigned(REG_TEMPERATURE),
                registers_.Get(REG_ROBOT_MODE) & 0xFF, registers_.Get(REG_POWER));
  std::string line = text;
  std::string faults = faults_.Describe();
  if (day_.no_power()) faults += std::string(faults.empty() ? "" : ", ") + "nopower";
  if (day_.low_current()) faults += std::string(faults.empty() ? "" : ", ") + "lowcurrent";
  line += " | faults: " + (faults.empty() ? std::string("none") : faults);
  if (flooding()) {
    std::snprintf(text, sizeof text, " | flood%s: %g/s, %ld sent",
                  flood_.kind == FloodKind::Voltage ? " of voltages" : "", flood_.rate, flood_.sent);
    line += text;
    if (flood_.limit > 0) line += " of " + std::to_string(flood_.limit);
  }
  return line;
}

}  // namespace verdelo::mower
