#include "platform/qt/ini_text.h"

#include <cstddef>
#include <cstdint>

namespace tarnlight::qt::ini {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
  std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool IsControl(std::uint32_t c) { return c < 0x20 || c == 0x7f; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xc0 | (c >> 6));
    out += char(0x80 | (c & 0x3f));
  } else if (c < 0x10000) {
    out += char(0xe0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3f));
    out += char(0x80 | (c & 0x3f));
  } else {
    out += char(0xf0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3f));
    out += char(0x80 | ((c >> 6) & 0x3f));
    out += char(0x80 | (c & 0x3f));
  }
}

// The character of "\x" and hex digits at `at` (just past the "x"), moving
// `at` past them; nullopt for no digits or no character.
std::optional<std::uint32_t> HexCode(std::string_view text, std::size_t& at) {
  std::uint32_t code = 0;
  std::size_t digits = 0;
  for (; at < text.size() && HexDigit(text[at]) >= 0; ++at, ++digits) {
    code = code * 16 + std::uint32_t(HexDigit(text[at]));
    if (code > 0x10ffff) return std::nullopt;
  }
  if (digits == 0 || (code >= 0xd800 && code <= 0xdfff)) return std::nullopt;
  return code;
}

// The value unescaped as QSettings wrote it, or nullopt when a backslash in
// it is none that this program writes, which only a hand edit leaves.
std::optional<std::string> Unescaped(std::string_view written) {
  std::string out;
  std::size_t kept = 0;  // unquoted blanks at the end are dropped
  bool quoted = false;
  std::size_t at = written.find_first_not_of(kBlanks);
  while (at < written.size()) {
    const char c = written[at++];
    if (c == '"') {
      quoted = !quoted;
      kept = out.size();
    } else if (c == ';' && !quoted) {
      break;
    } else if (c != '\\') {
      out += c;
      if (quoted || kBlanks.find(c) == std::string_view::npos)
        kept = out.size();
    } else if (at < written.size() &&
               (written[at] == '\\' || written[at] == '"')) {
      out += written[at++];
      kept = out.size();
    } else if (at < written.size() && written[at] == 'x') {
      std::optional<std::uint32_t> code = HexCode(written, ++at);
      if (!code) return std::nullopt;
      AppendUtf8(out, *code);
      kept = out.size();
    } else {
      return std::nullopt;
    }
  }
  out.resize(kept);
  return out;
}

std::string AsItStands(std::string_view written) {
  std::string_view text = Trim(written);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    text = text.substr(1, text.size() - 2);
  return std::string(text);
}

struct Line {
  std::size_t begin = 0, end = 0;  // `end` at the "\n" or the file's end
  bool carriageReturn = false;
  bool isGroup = false;
  std::string_view name;   // of a group, or the key of an entry
  std::string_view value;  // as written after "="
};

Line Classify(std::string_view file, std::size_t begin, std::size_t end) {
  Line line;
  line.begin = begin;
  line.end = end;
  std::string_view text = file.substr(begin, end - begin);
  line.carriageReturn = !text.empty() && text.back() == '\r';
  if (line.carriageReturn) text.remove_suffix(1);
  const std::string_view body = Trim(text);
  if (body.empty() || body.front() == ';' || body.front() == '#') return line;
  if (body.front() == '[') {
    const std::size_t close = body.find(']');
    line.isGroup = close != std::string_view::npos;
    if (line.isGroup) line.name = body.substr(1, close - 1);
    return line;
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return line;
  line.name = Trim(text.substr(0, equals));
  line.value = text.substr(equals + 1);
  return line;
}

// Where `key` of `group` is in the file, and where a new entry for it goes.
struct Place {
  std::optional<Line> entry;
  std::optional<std::size_t> groupEnd;  // the end of its last line
};

Place Locate(std::string_view file, std::string_view group,
             std::string_view key) {
  Place place;
  bool inGroup = false;
  std::size_t begin =
      file.substr(0, kByteOrderMark.size()) == kByteOrderMark ? 3 : 0;
  while (begin < file.size()) {
    std::size_t end = file.find('\n', begin);
    if (end == std::string_view::npos) end = file.size();
    const Line line = Classify(file, begin, end);
    begin = end + 1;
    if (line.isGroup) {
      inGroup = line.name == group;
      if (inGroup) place.groupEnd = line.end;
    } else if (inGroup && !line.name.empty()) {
      place.groupEnd = line.end;
      if (line.name == key) place.entry = line;
    }
  }
  return place;
}

}  // namespace

std::string Escape(std::string_view value) {
  std::string out;
  if (!value.empty() && value.front() == '@') out += '@';
  bool hexFollows = false;  // a hex digit after "\x" codes is coded too
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsControl(byte) || (hexFollows && HexDigit(c) >= 0)) {
      constexpr char kHex[] = "0123456789abcdef";
      out += "\\x";
      if (byte >= 16) out += kHex[byte >> 4];
      out += kHex[byte & 15];
      hexFollows = true;
      continue;
    }
    hexFollows = false;
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  const bool quote =
      value.find_first_of(";,=") != std::string_view::npos ||
      (!out.empty() && (out.front() == ' ' || out.back() == ' '));
  return quote ? '"' + out + '"' : out;
}

std::string Unescape(std::string_view written) {
  std::optional<std::string> value = Unescaped(written);
  if (!value) return AsItStands(written);
  if (*value == "@Invalid()") return {};
  if (value->rfind("@@", 0) == 0) value->erase(0, 1);
  return *value;
}

std::optional<std::string> Find(std::string_view file, std::string_view group,
                                std::string_view key) {
  const Place place = Locate(file, group, key);
  if (!place.entry) return std::nullopt;
  return Unescape(place.entry->value);
}

std::string Set(std::string_view file, std::string_view group,
                std::string_view key, std::string_view value) {
  const std::string entry = std::string(key) + "=" + Escape(value);
  const Place place = Locate(file, group, key);
  std::string out;
  if (place.entry) {
    out = file.substr(0, place.entry->begin);
    out += entry + (place.entry->carriageReturn ? "\r" : "");
    out += file.substr(place.entry->end);
  } else if (place.groupEnd) {
    out = file.substr(0, *place.groupEnd);
    out += "\n" + entry;
    out += *place.groupEnd == file.size()
               ? "\n"
               : std::string(file.substr(*place.groupEnd));
  } else {
    out = file;
    if (!out.empty() && out.back() != '\n') out += '\n';
    if (!out.empty()) out += '\n';
    out += "[" + std::string(group) + "]\n" + entry + "\n";
  }
  return out;
}

}  // namespace tarnlight::qt::ini
