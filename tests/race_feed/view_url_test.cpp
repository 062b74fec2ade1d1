// race-feed view-url: the address of the screens in a browser from the
// broker's WebSockets listener, its refusals, and the QR code's drawing.
#include <gtest/gtest.h>

#include <qrencode.h>

#include <string>
#include <vector>

#include "tools/race_feed/options.h"
#include "tools/race_feed/view_url.h"

namespace race_feed {
namespace {

TEST(ViewUrl, AddressFromThePageTopicAndPassword) {
  struct Case {
    std::string page;
    std::string topic;
    std::string password;
    std::string address;  // empty: refused
  };
  const Case cases[] = {
      {"http://10.0.0.5:9001", "orvane/feed", "",
       "http://10.0.0.5:9001/index.html?topic=orvane/feed"},
      {"https://view.example.org/", "t", "pw",
       "https://view.example.org/index.html?topic=t&password=pw"},
      {"http://[::1]:9001", "a b&c", "p&w=1",
       "http://[::1]:9001/index.html?topic=a%20b%26c&password=p%26w%3D1"},
      {"ws://10.0.0.5:9001", "t", "", ""},
      {"http://", "t", "", ""},
      {"http://host/path", "t", "", ""},
      {"http://host:9001?x=1", "t", "", ""},
      {"http://:9001", "t", "", ""},
      {"10.0.0.5:9001", "t", "", ""},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(ViewAddress(c.page, c.topic, c.password, error), c.address) << c.page;
    EXPECT_EQ(error.empty(), !c.address.empty()) << c.page;
  }
}

TEST(ViewUrl, CommandLine) {
  const ParseResult ok =
      ParseArguments({"view-url", "http://h:9001", "--topic", "x", "--viewer-password", "pw"});
  ASSERT_TRUE(ok.options) << ok.error;
  EXPECT_EQ(ok.options->command, Command::kViewUrl);
  EXPECT_EQ(ok.options->text, "http://h:9001");
  EXPECT_EQ(ok.options->broker.topic, "x");
  EXPECT_EQ(ok.options->viewer_password, "pw");
  EXPECT_EQ(ParseArguments({"view-url"}).error, "missing PAGE for view-url");
  EXPECT_NE(ParseArguments({"demo", "--viewer-password", "pw"}).error.find("does nothing for demo"),
            std::string::npos);
}

// The drawing read back into modules: two a character, light drawn.
std::vector<std::string> Modules(const std::string& drawing) {
  std::vector<std::string> rows;
  std::size_t at = 0;
  while (at < drawing.size()) {
    std::string top;
    std::string bottom;
    while (drawing[at] != '\n') {
      const std::string glyph = drawing[at] == ' ' ? " " : drawing.substr(at, 3);
      at += glyph.size();
      top += glyph == "\u2588" || glyph == "\u2580" ? '.' : '#';
      bottom += glyph == "\u2588" || glyph == "\u2584" ? '.' : '#';
    }
    ++at;
    rows.push_back(top);
    rows.push_back(bottom);
  }
  return rows;
}

TEST(ViewUrl, QrCodeDrawsEveryModuleInItsPlace) {
  const std::string text = "http://10.0.0.5:9001/index.html?topic=orvane/feed";
  QRcode* code = QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
  ASSERT_NE(code, nullptr);
  const std::vector<std::string> rows = Modules(QrCodeText(text));
  const int quiet = 2;
  ASSERT_GE(static_cast<int>(rows.size()), code->width + 2 * quiet);
  for (int y = -quiet; y < code->width + quiet; ++y) {
    ASSERT_EQ(static_cast<int>(rows[y + quiet].size()), code->width + 2 * quiet);
    for (int x = -quiet; x < code->width + quiet; ++x) {
      const bool inside = x >= 0 && y >= 0 && x < code->width && y < code->width;
      const bool dark = inside && (code->data[y * code->width + x] & 1) != 0;
      ASSERT_EQ(rows[y + quiet][x + quiet], dark ? '#' : '.') << x << "," << y;
    }
  }
  // A finder pattern's dark ring in the top left corner.
  EXPECT_EQ(rows[quiet].substr(quiet, 8), "#######.");
  QRcode_free(code);
  EXPECT_EQ(QrCodeText(std::string(8000, 'x')), "");
}

}  // namespace
}  // namespace race_feed
