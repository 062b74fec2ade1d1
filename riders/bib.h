// A bib as the start list, the notes and the broker's topics take it: 1 to 8
// ASCII letters or digits, so it is safe in a file name or an MQTT topic.
#pragma once

#include <QString>

inline constexpr int kMaxBibLength = 8;

inline bool IsValidBib(const QString& bib) {
  if (bib.isEmpty() || bib.size() > kMaxBibLength) {
    return false;
  }
  for (const QChar c : bib) {
    const char16_t u = c.unicode();
    if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'))) {
      return false;
    }
  }
  return true;
}
