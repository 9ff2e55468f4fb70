#pragma once

#include <optional>
#include <string>
#include <string_view>

// The settings file's text, read and edited the way people edit it: one
// line is one entry, so a value never reaches into the next line; ";" and
// "#" lines are comments; lines this program does not read, comments and
// bytes that are not UTF-8 are kept as they are when a value is written.
// Values are written as QSettings wrote them (backslashes and quotes
// escaped, control characters as "\x" codes, quotes around a value with
// ";", "," or "=" or with a blank at either end, a leading "@" doubled), so
// files written by earlier versions read as before.
namespace tarnlight::qt::ini {

// The value of the last `key` line of group `group`, nullopt when there is
// none. A value whose backslashes are all ones this program writes ("\\",
// "\"", "\x" with hex digits) is unescaped; any other backslash, such as
// the single ones of "d:\clips\" written by hand, makes the value read as
// it stands (trimmed, without enclosing quotes).
std::optional<std::string> Find(std::string_view file, std::string_view group,
                                std::string_view key);

// `file` with `key` in `group` set to `value`: the key's last line is
// replaced, or a line is added after the group's last entry, or the group is
// added at the end. Every other byte stays.
std::string Set(std::string_view file, std::string_view group,
                std::string_view key, std::string_view value);

// The text written after "=" for `value`, and back.
std::string Escape(std::string_view value);
std::string Unescape(std::string_view written);

}  // namespace tarnlight::qt::ini
