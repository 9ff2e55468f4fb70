#pragma once

#include <QGuiApplication>
#include <QString>

namespace tarnlight::qt {

// True for the keys that produce a character: printable ones, Enter,
// Escape, Backspace, Tab and Ctrl with a letter; false for arrows, function
// keys, Delete, modifiers alone and any key with Alt held, which Windows
// gives to the system, never to a window's key-press handler. `modifiers`:
// by default those of the key event being delivered.
bool IsCharacterKey(
    int qtKey, const QString& text,
    Qt::KeyboardModifiers modifiers = QGuiApplication::keyboardModifiers());

// The character a key press typed, 0 for none.
int CharacterCode(const QString& text);

}  // namespace tarnlight::qt
