// The listening address: the one sender whose records are accepted, or
// "255.255.255.255" for every sender; kept across runs in commentator.dat.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr const char* kSettingsFileName = "commentator.dat";

class ListeningAddress {
 public:
  static constexpr std::string_view kAllSenders = "255.255.255.255";
  static constexpr std::size_t kLimit = 255;  // single-byte characters

  const std::string& Text() const { return text_; }
  // Cut to the limit; the text is taken as typed, blanks included.
  void SetText(std::string_view text);

  // The listening-address test: every sender, or this one exactly as its
  // dotted address is written.
  bool Accepts(std::string_view sender) const { return text_ == kAllSenders || text_ == sender; }

  // The first line of `path` (LF or CR LF ended); every sender when the file
  // cannot be opened (see OpenForReading). A read error on the open file is
  // reported.
  void Load(const char* path = kSettingsFileName);
  // Replaces the file with the address and CR LF (see WriteWholeFile): a
  // file that cannot be created is skipped silently; a failed write is
  // reported and leaves the old file as it was.
  void Save(const char* path = kSettingsFileName) const;

 private:
  std::string text_{kAllSenders};
};
