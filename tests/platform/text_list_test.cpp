// The text list: lines kept as the bytes they were given and drawn one
// glyph per byte.
#include "platform/text_list.h"
#include "support/test_support.h"

#include <QImage>

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(TextList, KeepsTheBytesOfEachLine) {
  TextList list;
  std::string every_byte;
  for (int value = 1; value < 256; ++value) {
    every_byte.push_back(static_cast<char>(value));
  }
  list.AddLine(every_byte);
  list.AddLine("second");
  list.SetLine(1, "\xe9t\xe9");
  list.SetLine(2, "past the last line");
  EXPECT_EQ(list.LineCount(), 2);
  EXPECT_EQ(list.Line(0), every_byte);
  EXPECT_EQ(list.Line(1), "\xe9t\xe9");
  EXPECT_EQ(list.Line(2), "");
  list.RemoveFirstLine();
  EXPECT_EQ(list.Line(0), "\xe9t\xe9");
}

// Pixels of a one-line list's viewport, white text on black.
QImage RenderedLine(const std::string& text, bool selected = false) {
  TextList list;
  list.resize(300, 40);
  list.SetColours(Qt::black, Qt::white);
  list.AddLine(text);
  if (selected) {
    list.setCurrentRow(0);
  }
  list.show();
  Settle();
  return list.viewport()->grab().toImage();
}

bool AnyTextPixelIn(const QImage& image, int from_x, int to_x) {
  for (int y = 0; y < 13; ++y) {
    for (int x = from_x; x < to_x; ++x) {
      if (qGray(image.pixel(x, y)) > 128) {
        return true;
      }
    }
  }
  return false;
}

TEST(TextList, DrawsOneGlyphPerByteUpToTheViewportEdge) {
  // Every byte its own character: lines that differ in one byte differ on
  // screen, the upper half of the byte range included.
  const QImage plain = RenderedLine("abc x");
  EXPECT_NE(plain, RenderedLine("abd x"));
  EXPECT_NE(RenderedLine("\xe9\xe8"), RenderedLine("\xe8\xe9"));
  EXPECT_EQ(plain, RenderedLine("abc x"));

  // A record-length line reaches the right edge of the viewport.
  const QImage long_line = RenderedLine(std::string(1024, 'W'));
  EXPECT_TRUE(AnyTextPixelIn(long_line, long_line.width() - 20, long_line.width()));
  EXPECT_FALSE(AnyTextPixelIn(plain, plain.width() - 20, plain.width()));

  // A selected line draws its text in the highlighted text colour.
  EXPECT_NE(RenderedLine("abc x", /*selected=*/true), plain);
}

}  // namespace
