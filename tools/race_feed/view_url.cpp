#include "tools/race_feed/view_url.h"

#include <qrencode.h>

#include <algorithm>
#include <memory>

#include "tools/race_feed/run.h"

namespace race_feed {

namespace {

// Everything but the characters that stand for themselves in a query.
std::string QueryEncoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
        (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' || byte == '~' ||
        byte == '/') {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 15];
    }
  }
  return encoded;
}

bool HostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == ':' || c == '[' || c == ']';
}

}  // namespace

std::string ViewAddress(std::string_view page, std::string_view topic,
                        std::string_view viewer_password, std::string& error) {
  std::string_view rest = page;
  std::string_view scheme;
  for (const std::string_view known : {"http://", "https://"}) {
    if (rest.starts_with(known)) {
      scheme = known;
      rest.remove_prefix(known.size());
    }
  }
  if (rest.ends_with('/')) {
    rest.remove_suffix(1);
  }
  const bool host_ok = !rest.empty() && rest.size() <= 253 && rest.front() != ':' &&
                       std::all_of(rest.begin(), rest.end(), HostCharacter);
  if (scheme.empty() || !host_ok) {
    error = "PAGE is http://HOST[:PORT] or https://HOST[:PORT], the broker's WebSockets listener";
    return {};
  }
  std::string address =
      std::string(scheme) + std::string(rest) + "/index.html?topic=" + QueryEncoded(topic);
  if (!viewer_password.empty()) {
    address += "&password=" + QueryEncoded(viewer_password);
  }
  return address;
}

std::string QrCodeText(const std::string& text) {
  const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
      QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
  if (!code) {
    return {};
  }
  constexpr int kQuiet = 2;  // modules of light margin around the code
  const int width = code->width;
  const auto dark = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < width && y < width && (code->data[y * width + x] & 1) != 0;
  };
  std::string lines;
  for (int y = -kQuiet; y < width + kQuiet; y += 2) {
    for (int x = -kQuiet; x < width + kQuiet; ++x) {
      const bool top = !dark(x, y);
      const bool bottom = y + 1 < width + kQuiet && !dark(x, y + 1);
      lines += top && bottom ? "\u2588" : top ? "\u2580" : bottom ? "\u2584" : " ";
    }
    lines += '\n';
  }
  return lines;
}

int RunViewUrl(const Options& options, std::ostream& out, std::ostream& err) {
  std::string error;
  const std::string address =
      ViewAddress(options.text, options.broker.topic, options.viewer_password, error);
  if (address.empty()) {
    err << "race-feed: " << error << '\n';
    return kExitUsage;
  }
  out << address << '\n';
  const std::string code = QrCodeText(address);
  if (code.empty()) {
    err << "race-feed: the address is too long for a QR code\n";
    return kExitRuntime;
  }
  out << '\n' << code;
  return kExitOk;
}

}  // namespace race_feed
