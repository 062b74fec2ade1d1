#include "records/record_text.h"

#include <charconv>
#include <cstddef>

namespace {

// The server never sends more than this many characters for one tag and its
// value, nor for one comma field.
constexpr std::size_t kWindow = 255;

constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Hex digit value, or -1. Compares chars directly: bytes >= 0x80 are never digits.
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::string_view TrimBlanksView(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Position of the tag's first occurrence; an empty tag never occurs.
std::size_t FindTag(std::string_view tag, std::string_view text) {
  if (tag.empty())
    return std::string_view::npos;
  return text.find(tag);
}

// The value as a view into `text`, so the flag tests need no copy.
std::string_view TagValueView(std::string_view tag, std::string_view text) {
  const std::size_t at = FindTag(tag, text);
  if (at == std::string_view::npos)
    return {};
  std::string_view window = text.substr(at, kWindow);
  // A tag longer than the window has its closing brace cut off: nothing to read.
  const std::size_t close = window.find('}');
  if (close == std::string_view::npos)
    return {};
  window.remove_prefix(close + 1);
  return window.substr(0, window.find('{'));
}

}  // namespace

std::string TagValue(std::string_view tag, std::string_view text) {
  return std::string(TagValueView(tag, text));
}

std::string TrimBlanks(std::string_view s) {
  return std::string(TrimBlanksView(s));
}

std::string CommaField(int n, std::string_view text) {
  // The fields are the comma-separated pieces of the text. The piece after a
  // final comma, and the one piece of an empty text, are not fields, but as
  // they are empty they read the same as a missing field.
  if (n < 1)
    return {};
  std::size_t start = 0;
  for (int k = 1;; ++k) {
    const std::size_t comma = text.find(',', start);
    if (k == n) {
      const std::size_t end = comma == std::string_view::npos ? text.size() : comma;
      return TrimBlanks(text.substr(start, end - start).substr(0, kWindow));
    }
    if (comma == std::string_view::npos)
      return {};
    start = comma + 1;
  }
}

std::int32_t ReadInteger(std::string_view s) {
  constexpr std::int32_t kOverflow = INT32_MIN;
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i == s.size())
    return 0;

  // Hex: "$", "x", "X", "0x" or "0X", then a 32-bit pattern.
  std::size_t hex = std::string_view::npos;
  if (s[i] == '$' || s[i] == 'x' || s[i] == 'X') {
    hex = i + 1;
  } else if (s[i] == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = i + 2;
  }
  if (hex != std::string_view::npos) {
    std::uint32_t bits = 0;
    int significant = 0;
    for (std::size_t j = hex; j < s.size(); ++j) {
      const int d = HexDigit(s[j]);
      if (d < 0)
        break;
      if (significant == 0 && d == 0)
        continue;
      if (++significant > 8)
        return kOverflow;
      bits = (bits << 4) | static_cast<std::uint32_t>(d);
    }
    return static_cast<std::int32_t>(bits);
  }

  bool negative = false;
  if (s[i] == '-' || s[i] == '+') {
    negative = s[i] == '-';
    ++i;
  }
  // Magnitude saturates just past the largest one any outcome can use.
  constexpr std::uint64_t kLimit = std::uint64_t{INT32_MAX} + 2;
  std::uint64_t magnitude = 0;
  const std::size_t first = i;
  while (i < s.size() && IsDigit(s[i])) {
    if (magnitude < kLimit)
      magnitude = magnitude * 10 + static_cast<std::uint64_t>(s[i] - '0');
    ++i;
  }
  if (i == first)
    return 0;
  // The sign only counts when the digits run to the end of the text.
  if (negative && i == s.size()) {
    if (magnitude > std::uint64_t{INT32_MAX} + 1)
      return kOverflow;
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
  }
  if (magnitude > std::uint64_t{INT32_MAX})
    return kOverflow;
  return static_cast<std::int32_t>(magnitude);
}

bool FlagSet(std::string_view tag, std::string_view text) {
  return TagValueView(tag, text) == "+";
}

bool HasValue(std::string_view tag, std::string_view text) {
  return !TagValueView(tag, text).empty();
}

bool TagOccurs(std::string_view tag, std::string_view text) {
  return FindTag(tag, text) != std::string_view::npos;
}

std::string NumberedTag(std::string_view stem, int index) {
  if (index < 0)
    return {};
  char digits[16];
  // Ten digits at most: always fits.
  const auto length =
      static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, index).ptr - digits);
  std::string tag;
  tag.reserve(stem.size() + length + 1);
  tag.append(stem).append(digits, length).push_back('}');
  return tag;
}
