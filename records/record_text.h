// Race data record text: the brace-tag format the race-scoring server sends,
// and the four extraction operations every record family reads it with.
// Standard library only, so it can be tested, benchmarked and fuzzed alone.
#pragma once

#include <cstdint>
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
