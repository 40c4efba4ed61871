// What an operating status code means: its text, as the console window
// shows it, and the group its band is coloured by.
#pragma once

#include <cstdint>
#include <string>

namespace verdelo::trends {

enum class StatusGroup : std::uint8_t { Cutting, Returning, Charging, Idle, Attention, Error, Unknown };
inline constexpr int kStatusGroupCount = static_cast<int>(StatusGroup::Unknown) + 1;

StatusGroup GroupOfStatus(int status);
// "Cutting, inside boundary (1002)"; "Unknown status (7)" for codes the
// console has no text for.
std::string StatusText(int status);
const char* GroupName(StatusGroup group);

}  // namespace verdelo::trends
