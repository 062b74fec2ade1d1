// race-feed view-url: the address of the screens in a browser, served by
// the broker's WebSockets listener, and a QR code of it to show on a
// terminal, so a phone can open it at once.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "tools/race_feed/options.h"

namespace race_feed {

// `page` is the listener's http:// or https:// address (HOST[:PORT], no
// path). The page then connects to the broker at the same address, over
// ws:// or wss://. Empty, with `error` set, when `page` is no such address.
std::string ViewAddress(std::string_view page, std::string_view topic,
                        std::string_view viewer_password, std::string& error);

// `text` as a QR code of text lines, two modules a line in half blocks,
// light modules drawn, for a terminal with a dark background. Empty when
// it is too long for a QR code.
std::string QrCodeText(const std::string& text);

// Prints the address and its QR code; the exit status.
int RunViewUrl(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace race_feed
