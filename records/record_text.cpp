#include "records/record_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstring>

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

// A tag like "{name}": "{" first, "}" last, neither in between. It occurs at
// p exactly when text[p] is "{" and the first brace after p is the "}" that
// ends an equal key, so the first "{...}" key at each "{" is all an index
// needs to hold.
bool IsKeyShaped(std::string_view tag) {
  if (tag.size() < 2 || tag.front() != '{' || tag.back() != '}')
    return false;
  for (std::size_t i = 1; i + 1 < tag.size(); ++i) {
    if (tag[i] == '{' || tag[i] == '}')
      return false;
  }
  return true;
}

std::uint64_t Load64(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

std::uint32_t Load32(const char* p) {
  std::uint32_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

std::uint64_t Mix(std::uint64_t h, std::uint64_t w) {
  h = (h ^ w) * 0x9E3779B97F4A7C15u;
  return h ^ (h >> 32);
}

// A key's hash, eight bytes at a time; the last, shorter piece is read as
// overlapping loads. Keys have two characters at least.
std::uint32_t KeyHash(std::string_view key) {
  const char* const p = key.data();
  const std::size_t n = key.size();
  std::uint64_t h = n;
  if (n >= 8) {
    for (std::size_t i = 0; i + 8 < n; i += 8) h = Mix(h, Load64(p + i));
    h = Mix(h, Load64(p + n - 8));
  } else if (n >= 4) {
    h = Mix(h, (std::uint64_t{Load32(p)} << 32) | Load32(p + n - 4));
  } else {
    const auto byte = [p](std::size_t i) {
      return std::uint64_t{static_cast<unsigned char>(p[i])};
    };
    h = Mix(h, byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16);
  }
  return static_cast<std::uint32_t>(Mix(h, 0));
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

RecordTags::RecordTags(std::string_view text) : text_(text) {
  // Offsets are kept in 32 bits; a longer text takes the plain search.
  if (text.size() > UINT32_MAX)
    return;
  // Each key has its own "{" and two characters at least; the table is at
  // most half full.
  const auto opens = static_cast<std::size_t>(std::count(text.begin(), text.end(), '{'));
  const std::size_t most_keys = std::min(opens, text.size() / 2);
  const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(2 * most_keys, 8));
  if (capacity <= kInlineSlots) {
    slots_ = inline_slots_;
    std::fill_n(slots_, capacity, Slot{});
  } else {
    heap_slots_ = std::make_unique<Slot[]>(capacity);
    slots_ = heap_slots_.get();
  }
  mask_ = capacity - 1;
  indexed_ = true;
  if (most_keys == 0)
    return;

  // A key runs from a "{" to the first brace after it when that is a "}";
  // its value runs on to the next "{", within the window counted from the
  // key's "{". A key longer than the window has its "}" cut off: no value.
  // Values are passed over with memchr; only keys are read a byte at a time.
  const char* const begin = text.data();
  const std::size_t size = text.size();
  const auto next_open = [begin, size](std::size_t from) {
    const void* const found = std::memchr(begin + from, '{', size - from);
    return found == nullptr ? size
                            : static_cast<std::size_t>(static_cast<const char*>(found) - begin);
  };
  std::size_t at = next_open(0);
  while (at < size) {
    std::size_t close = at + 1;
    while (close < size && text[close] != '{' && text[close] != '}') ++close;
    if (close == size)
      return;
    if (text[close] == '{') {  // no key at `at`
      at = close;
      continue;
    }
    const std::size_t key_end = close + 1;
    const std::size_t limit = next_open(key_end);
    const std::size_t key_size = key_end - at;
    const std::size_t value_size =
        key_size <= kWindow ? std::min(limit, at + kWindow) - key_end : 0;
    Insert(at, key_size, value_size);
    at = limit;
  }
}

void RecordTags::Insert(std::size_t at, std::size_t key_size, std::size_t value_size) {
  const std::string_view key = text_.substr(at, key_size);
  const std::uint32_t hash = KeyHash(key);
  for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
    Slot& slot = slots_[i];
    if (slot.key_size == 0) {
      slot = {hash, static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(key_size),
              static_cast<std::uint32_t>(value_size)};
      return;
    }
    // The first occurrence stays.
    if (slot.hash == hash && text_.substr(slot.at, slot.key_size) == key)
      return;
  }
}

const RecordTags::Slot* RecordTags::Find(std::string_view tag) const {
  const std::uint32_t hash = KeyHash(tag);
  for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
    const Slot& slot = slots_[i];
    if (slot.key_size == 0)
      return nullptr;
    if (slot.hash == hash && text_.substr(slot.at, slot.key_size) == tag)
      return &slot;
  }
}

std::string_view RecordTags::Value(std::string_view tag) const {
  if (!indexed_ || !IsKeyShaped(tag))
    return TagValueView(tag, text_);
  const Slot* const slot = Find(tag);
  if (slot == nullptr)
    return {};
  return text_.substr(slot->at + slot->key_size, slot->value_size);
}

bool RecordTags::Occurs(std::string_view tag) const {
  if (!indexed_ || !IsKeyShaped(tag))
    return TagOccurs(tag, text_);
  return Find(tag) != nullptr;
}
