// The status corner when it is too narrow for everything: the least
// important parts go first, whole, and the whole text stays in the tooltip
// and the accessible description.
#include "app/feed_status.h"
#include "platform/fonts.h"
#include "support/test_support.h"

#include <QFontMetrics>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

// Every part there can be, in the order they are shown, given out of order.
const std::vector<StatusText> kEveryPart = {
    {StatusPart::kClock, "14:03:00"},
    {StatusPart::kState, "quiet for 20 s"},
    {StatusPart::kRate, "0.0 rec/s"},
    {StatusPart::kRecording, "recording evening.txt"},
    {StatusPart::kBroker, "reconnecting in 4 s: connection to venue:1883 lost"},
    {StatusPart::kClosedPorts, "port 29104 closed"},
    {StatusPart::kIgnoredSender, "ignoring 10.0.0.9 (3)"},
    {StatusPart::kLosses, "12 lost in the kernel"},
};
const QStringList kByImportance = {"quiet for 20 s",
                                   "reconnecting in 4 s: connection to venue:1883 lost",
                                   "12 lost in the kernel",
                                   "ignoring 10.0.0.9 (3)",
                                   "port 29104 closed",
                                   "recording evening.txt",
                                   "0.0 rec/s",
                                   "14:03:00"};

QString Prefix(int count) {
  return kByImportance.mid(0, count).join(QString::fromUtf8(kStatusSeparator));
}

TEST(StatusCorner, TheLeastImportantPartsGoFirstAndNeverHalf) {
  const QFont font = DesignFont(Face::kMsSansSerif, 12);
  const QFontMetrics metrics(font);
  EXPECT_EQ(FitStatusParts(kEveryPart, font, 100'000), Prefix(8)) << "everything, in order";
  for (int count = 1; count <= 8; ++count) {
    SCOPED_TRACE(count);
    const int exact = metrics.horizontalAdvance(Prefix(count));
    EXPECT_EQ(FitStatusParts(kEveryPart, font, exact), Prefix(count));
    if (count >= 2 && count < 8) {
      const int one_short = metrics.horizontalAdvance(Prefix(count + 1)) - 1;
      EXPECT_EQ(FitStatusParts(kEveryPart, font, one_short), Prefix(count));
    }
  }
  EXPECT_EQ(FitStatusParts(kEveryPart, font, 0), Prefix(1)) << "the state always stays";
  // The broker's state alone is cut, between words, rather than left out.
  const QString cut =
      Prefix(1) + QString::fromUtf8(kStatusSeparator) + "reconnecting in 4 s:\u2026";
  EXPECT_EQ(FitStatusParts(kEveryPart, font, metrics.horizontalAdvance(cut)), cut);
  EXPECT_EQ(FitStatusParts(kEveryPart, font, metrics.horizontalAdvance(cut) - 1),
            Prefix(1) + QString::fromUtf8(kStatusSeparator) + "reconnecting in 4\u2026");
}

TEST(StatusCorner, AtItsNarrowestTheBrokerStateStaysAndTheWholeTextIsInTheTooltip) {
  CommentatorFixture fixture;
  FeedStatusView& corner = fixture.App().FeedView();
  const QString broker =
      "reconnecting in 15 s, queue 60000 records, records lost 1234: TLS with "
      "venue.example.org:8883 failed: certificate verify failed (is --cafile the CA that signed "
      "the broker's certificate?)";
  corner.AddLine(StatusPart::kRecording, [] { return QString("recording evening.txt"); });
  corner.AddLine(StatusPart::kBroker, [broker] { return broker; });
  corner.Refresh();
  const QList<QLabel*> labels = corner.findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 2);
  const QString shown = labels[1]->text();
  EXPECT_TRUE(shown.startsWith("waiting for the first record")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("reconnecting in 15 s, queue 60000 records")) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QStringLiteral("\u2026"))) << "cut between words";
  EXPECT_TRUE(
      broker.contains(shown.section(QString::fromUtf8(kStatusSeparator), 1).chopped(1) + " "))
      << "whole words of it";
  EXPECT_FALSE(shown.contains("recording")) << "the less important made room";
  EXPECT_FALSE(shown.contains("rec/s"));
  EXPECT_LE(labels[1]->sizeHint().width() + labels[0]->sizeHint().width(), corner.width())
      << "nothing cut at the right edge";
  for (const QString& whole : {corner.toolTip(), corner.accessibleDescription()}) {
    EXPECT_TRUE(whole.contains(broker));
    EXPECT_TRUE(whole.contains("recording evening.txt"));
    EXPECT_TRUE(whole.contains("rec/s"));
  }
}

}  // namespace
