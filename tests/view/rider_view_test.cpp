// The browser's rider cards at the venue: a small session through the
// record rules (no window), each rider's document as the facts and the
// start list give it, the rows' bibs in the screens' documents, and the
// pace: only riders whose entries changed, at most once a second each.
#include "view/rider_view.h"
#include "records/shadow_screens.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using view::RiderView;

std::optional<StartList> List() {
  StartListError error;
  return StartList::Parse(
      "bib,name,team,nation,palmares\n"
      "47,L. Martens,Ostend Piste,BEL,Two stage wins\n"
      "52,K. Holm,,DEN,\n",
      error);
}

// "screen | heat | place | points | time | status" for each row of "today".
std::vector<std::string> Today(const QJsonObject& doc) {
  std::vector<std::string> rows;
  for (const QJsonValue& row : doc["today"].toArray()) {
    std::string text;
    for (const QJsonValue& cell : row.toArray()) {
      text += (text.empty() ? "" : " | ") + cell.toString().toStdString();
    }
    rows.push_back(text);
  }
  return rows;
}

struct RiderFixture {
  explicit RiderFixture(bool with_list) {
    if (with_list) {
      riders.SetStartList(List());
    }
  }
  void Take(const std::string& record) { riders.Took(screens.Take(record), screens.Data()); }
  void Flush() {
    riders.Flush(now, 0, [this](const std::string& topic, const std::string& payload) {
      sent.push_back(topic);
      docs[topic] = QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
      return true;
    });
  }
  // The session: a scratch heat with bib 47 and 52, then a time trial that
  // names 47 without a bib.
  void Session() {
    for (const char* record :
         {"{scratch}+{clr}+", "{scratch}+{title}HEAT 2",
          "{scratch}+{list}0{rank}1{bib}52{name}K. HOLM{nat}DEN",
          "{scratch}+{list}1{rank}2{bib}47{name}L. MARTENS{nat}BEL", "{tt}+{clr}+",
          "{tt}+{standings}0{rnk}1{name}L. MARTENS BEL{score}4:06.905"}) {
      Take(record);
    }
  }

  ShadowScreens screens;
  RiderView riders{"T"};
  RiderView::Clock::time_point now{};
  std::vector<std::string> sent;
  std::map<std::string, QJsonObject> docs;
};

TEST(RiderView, DocumentsCarryTheStartListAndTodayNewestFirst) {
  RiderFixture f(true);
  f.Session();
  f.Flush();
  EXPECT_EQ(f.sent, (std::vector<std::string>{"T/view/riders/47", "T/view/riders/52"}));
  const QJsonObject doc = f.docs["T/view/riders/47"];
  EXPECT_EQ(doc["format"].toString(), "orvane-rider");
  EXPECT_EQ(doc["bib"].toString(), "47");
  EXPECT_EQ(doc["name"].toString(), "L. Martens");
  EXPECT_TRUE(doc["on_start_list"].toBool());
  // The desktop card's fields in its order, the file's other columns last.
  const QJsonArray fields = doc["fields"].toArray();
  ASSERT_EQ(fields.size(), 7);
  EXPECT_EQ(fields[2].toArray(), (QJsonArray{"Team", "Ostend Piste"}));
  EXPECT_EQ(fields[6].toArray(), (QJsonArray{"palmares", "Two stage wins"}));
  // The time trial's name-only row is the start list's bib 47.
  EXPECT_EQ(Today(doc), (std::vector<std::string>{"Time trial | Time trial | 1 |  | 4:06.905 | ",
                                                  "Scratch | HEAT 2 | 2 |  |  | "}));
  EXPECT_EQ(doc["more"].toInt(), 0);

  // The screens' documents name each rider row's bib, the name-only ones too.
  const auto tt = QJsonDocument::fromJson(QByteArray::fromStdString(view::ScreenDocument(
                                              view::Screen::kTimeTrial, f.screens.Data(), {},
                                              f.riders.Bibs(f.screens.Data()))))
                      .object();
  EXPECT_EQ(tt["standings"].toObject()["bibs"].toArray(), (QJsonArray{"", "47"}));
  const auto scratch = QJsonDocument::fromJson(QByteArray::fromStdString(view::ScreenDocument(
                                                   view::Screen::kScratch, f.screens.Data(), {},
                                                   f.riders.Bibs(f.screens.Data()))))
                           .object();
  EXPECT_EQ(scratch["competitors"].toObject()["bibs"].toArray(), (QJsonArray{"", "52", "47"}));
}

TEST(RiderView, WithoutAStartListNameOnlyRowsHaveNoCard) {
  RiderFixture f(false);
  f.Session();
  f.Flush();
  const QJsonObject doc = f.docs["T/view/riders/47"];
  EXPECT_FALSE(doc["on_start_list"].toBool());
  EXPECT_FALSE(doc.contains("fields"));
  EXPECT_EQ(doc["name"].toString(), "L. MARTENS");  // as the rows gave it
  EXPECT_EQ(Today(doc), std::vector<std::string>{"Scratch | HEAT 2 | 2 |  |  | "});
  EXPECT_EQ(f.riders.Documents(), 2u);
  const auto tt = QJsonDocument::fromJson(QByteArray::fromStdString(view::ScreenDocument(
                                              view::Screen::kTimeTrial, f.screens.Data(), {},
                                              f.riders.Bibs(f.screens.Data()))))
                      .object();
  EXPECT_FALSE(tt["standings"].toObject().contains("bibs"));
}

TEST(RiderView, OnlyChangedRidersAtMostOnceASecond) {
  RiderFixture f(true);
  f.Session();
  f.Flush();
  f.sent.clear();
  // Two changes to 47 within the second: one document, as it then stands.
  f.now += 200ms;
  f.Take("{tt}+{standings}0{rnk}1{name}L. MARTENS BEL{score}4:05.000");
  f.Flush();
  f.now += 300ms;
  f.Take("{tt}+{standings}0{rnk}1{name}L. MARTENS BEL{score}4:04.000");
  f.Flush();
  EXPECT_TRUE(f.sent.empty());
  EXPECT_EQ(f.riders.NextDue(f.now), RiderView::Clock::time_point{} + 1s);
  f.now = RiderView::Clock::time_point{} + 1s;
  f.Flush();
  EXPECT_EQ(f.sent, std::vector<std::string>{"T/view/riders/47"});
  EXPECT_EQ(Today(f.docs["T/view/riders/47"]).front(),
            "Time trial | Time trial | 1 |  | 4:04.000 | ");
  EXPECT_EQ(f.riders.NextDue(f.now), std::nullopt);
  // A record that names nobody sends nothing, nor one that writes a row
  // again as it was; a new connection sends all.
  f.now += 5s;
  f.Take("{heartbeat}+");
  f.Take("{tt}+{standings}0{rnk}1{name}L. MARTENS BEL{score}4:04.000");
  f.Flush();
  EXPECT_EQ(f.sent.size(), 1u);
  f.riders.MarkAllDue();
  f.Flush();
  EXPECT_EQ(f.sent.size(), 3u);
  // A client that takes nothing leaves it due.
  f.Take("{scratch}+{list}0{rank}3{bib}52{name}K. HOLM{nat}DEN");
  f.now += 5s;
  f.riders.Flush(f.now, 0, [](const std::string&, const std::string&) { return false; });
  EXPECT_EQ(f.riders.NextDue(f.now), f.now);
}

TEST(RiderView, SizesAreBounded) {
  RiderFixture f(false);
  f.Take("{scratch}+{clr}+");
  for (int heat = 0; heat < view::kMaxRiderEntries + 10; ++heat) {
    f.Take("{scratch}+{title}HEAT " + std::to_string(heat));
    f.Take("{scratch}+{list}0{rank}1{bib}7{name}A. RIDER");
  }
  for (std::size_t bib = 100; bib < 100 + view::kMaxRiderDocuments; ++bib) {
    f.Take("{scratch}+{list}1{rank}2{bib}" + std::to_string(bib) + "{name}B");
  }
  f.Flush();
  const QJsonObject doc = f.docs["T/view/riders/7"];
  EXPECT_EQ(doc["today"].toArray().size(), view::kMaxRiderEntries);
  EXPECT_EQ(doc["more"].toInt(), 10);
  EXPECT_EQ(Today(doc).front(),
            "Scratch | HEAT " + std::to_string(view::kMaxRiderEntries + 9) + " | 1 |  |  | ");
  EXPECT_EQ(f.riders.Documents(), view::kMaxRiderDocuments);
  EXPECT_EQ(f.sent.size(), view::kMaxRiderDocuments);
}

}  // namespace
