// Cells and labels hold bytes; a screen shows each byte as one character,
// without any character set in between.
#pragma once

#include <QString>

#include <string_view>

inline QString ShownText(std::string_view bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
