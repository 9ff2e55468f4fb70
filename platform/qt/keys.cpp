#include "platform/qt/keys.h"

#include <Qt>

namespace tarnlight::qt {

bool IsCharacterKey(int qtKey, const QString& text,
                    Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::AltModifier) return false;
  switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return true;
    case Qt::Key_Delete:
      return false;
    default:
      return !text.isEmpty() && text != QStringLiteral("\x7f");
  }
}

int CharacterCode(const QString& text) {
  return text.isEmpty() ? 0 : text.at(0).unicode();
}

}  // namespace tarnlight::qt
