#include "telemetry/mower_state.h"

#include <cstdio>

#include "console/mower_frame.h"
#include "console/mower_status.h"
#include "telemetry/json.h"

namespace verdelo {

std::string_view LinkStateName(LinkState link) {
  switch (link) {
    case LinkState::Open: return "open";
    case LinkState::Lost: return "lost";
    case LinkState::Closed: break;
  }
  return "closed";
}

std::string StatusText(int status) {
  const char* known = MowerStatusName(status);
  return known ? known : "Unknown status " + std::to_string(status);
}

std::string_view RobotModeName(int mode) {
  switch (mode) {
    case kRobotModeMan: return "MAN";
    case kRobotModeAuto: return "AUTO";
    case kRobotModeHome: return "HOME";
    case kRobotModeDemo: return "DEMO";
    default: return "";
  }
}

bool MowerState::Set(ValueId id, int value) {
  const auto index = static_cast<std::size_t>(id);
  if (known_[index] && values_[index] == value) return false;
  known_[index] = true;
  values_[index] = value;
  return true;
}

bool MowerState::SetLink(LinkState link) {
  if (link == link_) return false;
  link_ = link;
  return true;
}

std::string MowerState::Document() const {
  JsonObject doc;
  auto known = [this](ValueId id) { return known_[static_cast<std::size_t>(id)]; };
  auto value = [this](ValueId id) { return values_[static_cast<std::size_t>(id)]; };
  for (int i = 0; i < kValueIdCount; ++i) {
    const auto id = static_cast<ValueId>(i);
    if (known(id))
      doc.Add(ValueName(id), value(id));
    else
      doc.AddNull(ValueName(id));
  }
  if (known(ValueId::Status))
    doc.Add("status_text", StatusText(value(ValueId::Status)));
  else
    doc.AddNull("status_text");
  if (known(ValueId::RobotMode) && !RobotModeName(value(ValueId::RobotMode)).empty())
    doc.Add("robot_mode_text", RobotModeName(value(ValueId::RobotMode)));
  else
    doc.AddNull("robot_mode_text");
  if (known(ValueId::ClockHours) && known(ValueId::ClockMinutes) && known(ValueId::ClockSeconds)) {
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", value(ValueId::ClockHours),
                  value(ValueId::ClockMinutes), value(ValueId::ClockSeconds));
    doc.Add("clock", clock);
  } else {
    doc.AddNull("clock");
  }
  doc.Add("link", LinkStateName(link_));
  return doc.Text();
}

}  // namespace verdelo
