// Race data record text: the brace-tag format the race-scoring server sends,
// and the four extraction operations every record family reads it with.
// Standard library only, so it can be tested, benchmarked and fuzzed alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Value of the first occurrence of `tag` (braces included, exact case) in
// `text`: the characters after the tag's closing brace up to the next "{",
// taken from a window of 255 characters counted from the tag's opening
// brace. Empty when the tag does not occur.
std::string TagValue(std::string_view tag, std::string_view text);

// `s` without blanks (code 32) at either end; tabs and the rest stay.
std::string TrimBlanks(std::string_view s);

// Field `n` (from 1) of the comma-separated `text`, cut to 255 characters and
// trimmed of blanks; empty when there is no such field.
std::string CommaField(int n, std::string_view text);

// The 32-bit integer that `s` begins with; never fails. Overflow reads as
// INT32_MIN, outside every range a record family accepts.
std::int32_t ReadInteger(std::string_view s);

// The uses a family makes of a tag.
bool FlagSet(std::string_view tag, std::string_view text);    // value is exactly "+"
bool HasValue(std::string_view tag, std::string_view text);   // value is not empty
bool TagOccurs(std::string_view tag, std::string_view text);  // tag text occurs at all

// A numbered tag: stem "{ltg" and index 7 give "{ltg7}".
std::string NumberedTag(std::string_view stem, int index);

// Edge cases: an empty tag never occurs, so every operation reads it as
// absent; NumberedTag with a negative index gives that empty tag.

// One record's text with its tags indexed in a single pass, so a family's
// many tag reads cost a table probe each instead of a search of the whole
// text. Every answer equals the free function's of the same name on Text().
// A tag like "{name}", with "{" only first and "}" only last, is looked up
// in the index; any other tag falls back to the plain search. The text must
// outlive the object. Records up to 1024 bytes need no allocation.
class RecordTags {
 public:
  explicit RecordTags(std::string_view text);
  RecordTags(const RecordTags&) = delete;
  RecordTags& operator=(const RecordTags&) = delete;

  std::string_view Text() const { return text_; }
  std::string_view Value(std::string_view tag) const;  // TagValue, as a view into Text()
  bool Flag(std::string_view tag) const { return Value(tag) == "+"; }   // FlagSet
  bool Has(std::string_view tag) const { return !Value(tag).empty(); }  // HasValue
  bool Occurs(std::string_view tag) const;                              // TagOccurs

 private:
  // The first occurrence of one "{...}" key; an empty slot has key_size 0.
  struct Slot {
    std::uint32_t hash;  // low bits of the key's hash, to pass other keys by
    std::uint32_t at;
    std::uint32_t key_size;
    std::uint32_t value_size;
  };
  // A 1024-byte record holds at most 512 keys; twice that keeps probes short.
  static constexpr std::size_t kInlineSlots = 1024;

  const Slot* Find(std::string_view tag) const;
  void Insert(std::size_t at, std::size_t key_size, std::size_t value_size);

  std::string_view text_;
  bool indexed_ = false;  // false: every tag takes the plain search
  std::size_t mask_ = 0;
  Slot* slots_ = nullptr;
  std::unique_ptr<Slot[]> heap_slots_;
  Slot inline_slots_[kInlineSlots];
};
