// The topics of one mower: verdelo/<name>/..., and Home Assistant's
// discovery documents that describe them.
#pragma once

#include <string>
#include <vector>

namespace verdelo {

struct MowerTopics {
  explicit MowerTopics(const std::string& name);
  std::string name;
  std::string availability;  // "online" / "offline", retained
  std::string state;         // JSON, retained
  std::string event;         // plain text, not retained
  std::string command;       // plain text, taken only when allowed
};

inline constexpr const char* kOnline = "online";
inline constexpr const char* kOffline = "offline";

struct RetainedMessage {
  std::string topic;
  std::string payload;  // empty: removes what the topic held
};

// One device (the mower) with a sensor per value, the status as text, the
// link as connectivity, and a button per command when commands are taken;
// without them, the buttons' documents are emptied so an earlier run's
// buttons go away.
std::vector<RetainedMessage> DiscoveryDocuments(const MowerTopics& topics, bool commands,
                                                const std::string& version);

}  // namespace verdelo
