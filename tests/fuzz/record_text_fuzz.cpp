// Fuzzes the record text operations with arbitrary tags and texts, and
// checks the RecordTags index against the plain search.
//
// Input layout: byte 0 is the tag length, byte 1 a field number (read as a
// signed byte so that zero and negative numbers come up), then the tag, then
// the record text.

#include "records/record_text.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// ReadInteger by other means: find the number's extent by hand, then let
// std::from_chars do the arithmetic.
std::int32_t ReferenceInteger(std::string_view s) {
  std::size_t i = s.find_first_not_of(' ');
  if (i == std::string_view::npos)
    return 0;
  s.remove_prefix(i);
  std::size_t prefix = 0;
  if (s[0] == '$' || s[0] == 'x' || s[0] == 'X') {
    prefix = 1;
  } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    prefix = 2;
  }
  if (prefix > 0) {
    std::string_view digits = s.substr(prefix);
    digits = digits.substr(0, digits.find_first_not_of("0123456789abcdefABCDEF"));
    if (digits.empty())
      return 0;
    std::uint64_t bits = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), bits, 16);
    if (r.ec == std::errc::result_out_of_range || bits > 0xFFFFFFFFu)
      return INT32_MIN;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
  }
  const bool minus = s[0] == '-';
  if (s[0] == '-' || s[0] == '+')
    s.remove_prefix(1);
  const std::size_t end = s.find_first_not_of("0123456789");
  const std::string_view digits = s.substr(0, end);
  if (digits.empty())
    return 0;
  std::int64_t magnitude = 0;
  const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
  if (r.ec == std::errc::result_out_of_range)
    return INT32_MIN;
  if (minus && end == std::string_view::npos) {
    return magnitude > std::int64_t{INT32_MAX} + 1 ? INT32_MIN
                                                   : static_cast<std::int32_t>(-magnitude);
  }
  return magnitude > INT32_MAX ? INT32_MIN : static_cast<std::int32_t>(magnitude);
}

// CommaField done the long way: enclose in commas, count them, cut between.
std::string ReferenceField(int n, std::string_view text) {
  if (n < 1)
    return {};
  std::string padded = "," + std::string(text);
  if (!text.empty() && text.back() != ',')
    padded += ',';
  std::size_t from = std::string::npos;
  std::size_t to = std::string::npos;
  int seen = 0;
  for (std::size_t i = 0; i < padded.size(); ++i) {
    if (padded[i] != ',')
      continue;
    ++seen;
    if (seen == n)
      from = i;
    if (seen == n + 1) {
      to = i;
      break;
    }
  }
  if (from == std::string::npos || to == std::string::npos)
    return {};
  return TrimBlanks(padded.substr(from + 1, std::min<std::size_t>(to - from - 1, 255)));
}

void CheckInteger(std::string_view s) {
  const std::int32_t value = ReadInteger(s);
  Check(value == ReferenceInteger(s), "ReadInteger agrees with the reference");
  Check(ReadInteger(" " + std::string(s)) == value, "ReadInteger skips a leading blank");
}

void CheckTrim(std::string_view text) {
  const std::string t = TrimBlanks(text);
  Check(t.empty() || (t.front() != ' ' && t.back() != ' '), "TrimBlanks leaves no end blank");
  const std::size_t at = text.find_first_not_of(' ');
  if (at == std::string_view::npos) {
    Check(t.empty(), "TrimBlanks of blanks is empty");
    return;
  }
  Check(text.substr(at, t.size()) == t, "TrimBlanks keeps the middle");
  Check(text.find_first_not_of(' ', at + t.size()) == std::string_view::npos,
        "TrimBlanks removes only blanks");
}

void CheckField(int n, std::string_view text) {
  const std::string f = CommaField(n, text);
  Check(f.size() <= 255, "CommaField is at most 255 chars");
  Check(f.find(',') == std::string::npos, "CommaField has no comma");
  Check(f.empty() || (f.front() != ' ' && f.back() != ' '), "CommaField is trimmed");
  Check(f == ReferenceField(n, text), "CommaField agrees with the reference");
  CheckInteger(f);
}

void CheckTag(std::string_view tag, std::string_view text) {
  const std::string v = TagValue(tag, text);
  const bool occurs = TagOccurs(tag, text);
  Check(FlagSet(tag, text) == (v == "+"), "FlagSet means the value is +");
  Check(HasValue(tag, text) == !v.empty(), "HasValue means a value");
  Check(occurs || v.empty(), "an absent tag has no value");
  Check(!tag.empty() || !occurs, "the empty tag never occurs");
  Check(v.find('{') == std::string::npos, "a value holds no {");

  // The value ends where the tag's closing brace (its first "}") ends.
  const std::size_t brace = tag.find('}');
  const std::size_t head = brace == std::string_view::npos ? tag.size() + 1 : brace + 1;
  Check(head > 255 || v.size() <= 255 - head, "the value fits the window after the tag");

  if (!occurs)
    return;
  const std::size_t at = text.find(tag);
  Check(TagValue(tag, text.substr(0, at + 255)) == v, "nothing past the window counts");
  // Text in front that cannot start the tag changes nothing.
  for (int c = 1; c < 256; ++c) {
    if (tag.find(static_cast<char>(c)) != std::string_view::npos)
      continue;
    const std::string shifted = static_cast<char>(c) + std::string(text);
    Check(TagValue(tag, shifted) == v, "a leading foreign char changes nothing");
    break;
  }
  CheckInteger(v);
}

// The index answers as the plain search does, whatever the tag's shape.
void CheckIndexed(const RecordTags& record, std::string_view tag) {
  const std::string_view text = record.Text();
  Check(record.Value(tag) == TagValue(tag, text), "the index reads the value the search reads");
  Check(record.Flag(tag) == FlagSet(tag, text), "the index reads the flag the search reads");
  Check(record.Has(tag) == HasValue(tag, text), "the index sees a value where the search does");
  Check(record.Occurs(tag) == TagOccurs(tag, text), "the index finds what the search finds");
}

void CheckIndex(std::string_view tag, std::string_view numbered, std::string_view text) {
  const RecordTags record(text);
  CheckIndexed(record, tag);
  CheckIndexed(record, numbered);
  for (std::string_view fixed : {"{name}", "{tt}", "{}", "{ltg1}", "{ltg10}", "{", "}", "{x}}"}) {
    CheckIndexed(record, fixed);
  }
  // Tags the text holds, so that most of them are found: from each of the
  // first few "{" to the "}" after it, braces inside or not.
  std::size_t open = text.find('{');
  for (int k = 0; k < 8 && open != std::string_view::npos; ++k) {
    const std::size_t close = text.find('}', open);
    if (close == std::string_view::npos)
      break;
    CheckIndexed(record, text.substr(open, close + 1 - open));
    open = text.find('{', open + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2)
    return 0;
  const std::size_t tag_size = std::min<std::size_t>(data[0], size - 2);
  const int n = static_cast<std::int8_t>(data[1]);
  const std::string_view tag(reinterpret_cast<const char*>(data) + 2, tag_size);
  const std::string_view text(reinterpret_cast<const char*>(data) + 2 + tag_size,
                              size - 2 - tag_size);

  CheckTag(tag, text);
  CheckTrim(text);
  CheckInteger(text);
  CheckInteger(tag);

  CheckField(n, text);
  CheckField(1, text);
  int commas = 0;
  for (char c : text) commas += c == ',';
  CheckField(commas, text);
  CheckField(commas + 1, text);
  CheckField(commas + 2, text);

  const std::string numbered = NumberedTag(tag, n);
  Check(numbered == (n < 0 ? std::string() : std::string(tag) + std::to_string(n) + "}"),
        "NumberedTag is stem, number, brace");
  CheckTag(numbered, text);
  CheckIndex(tag, numbered, text);
  return 0;
}
