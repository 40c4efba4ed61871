#include "shell/console_window/key_translation.h"

#include "console/console.h"

namespace verdelo {

std::optional<unsigned> DrivingKeyCode(const QKeyEvent& event) {
  if (event.modifiers() & Qt::AltModifier) return std::nullopt;
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    default: return std::nullopt;
  }
}

}  // namespace verdelo
