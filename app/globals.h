// Values shared between windows.
#pragma once

#include <QColor>

#include <string>

namespace globals {

// The display colours of the traffic log and of every event screen's grids,
// set once by the main window's creation.
struct DisplayColours {
  QColor background;
  QColor text;
  QColor heading;
};
extern DisplayColours display_colours;

// "255.255.255.255" accepts every sender; any other text must equal the
// sender's dotted address exactly. At most 255 single-byte characters.
inline constexpr std::string_view kAllSenders = "255.255.255.255";
inline constexpr std::size_t kListeningAddressLimit = 255;
extern std::string listening_address;

}  // namespace globals
