#pragma once

#include <QString>

namespace tarnlight::qt {

// True for the keys that produce a character: printable ones, Enter,
// Escape, Backspace, Tab and Ctrl with a letter; false for arrows, function
// keys, Delete and modifiers alone.
bool IsCharacterKey(int qtKey, const QString& text);

// The character a key press typed, 0 for none.
int CharacterCode(const QString& text);

}  // namespace tarnlight::qt
