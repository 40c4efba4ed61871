// PC keys as the console's keyboard driving knows them: the virtual key
// codes of Enter, Page Up, Page Down and the arrows.
#pragma once

#include <QKeyEvent>

#include <optional>

namespace verdelo {

// The virtual key code of a plain key press (Return and the keypad's Enter
// both count as Enter); empty for other keys and for presses with Alt held,
// which go to the window's own handling.
std::optional<unsigned> DrivingKeyCode(const QKeyEvent& event);

}  // namespace verdelo
