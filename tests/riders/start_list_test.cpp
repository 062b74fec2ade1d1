// The start list reader: a table of files, each with the riders it gives or
// the error that refuses it whole.
#include "riders/start_list.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

// A rider as one line: bib|name|team|nation|uci_id|born, then heading=value
// for every other column.
std::string Line(const StartListRider& r) {
  std::string line =
      (QStringList{r.bib, r.name, r.team, r.nation, r.uci_id, r.born}.join('|')).toStdString();
  for (const auto& [heading, value] : r.other) {
    line += "|" + heading.toStdString() + "=" + value.toStdString();
  }
  return line;
}

struct FileCase {
  const char* what;
  std::string bytes;
  std::vector<std::string> riders;  // when it loads
  std::string error;                // when it is refused: the whole error text
};

const std::vector<FileCase>& Cases() {
  static const std::vector<FileCase> cases = {
      {"plain, LF",
       "bib,name,team,nation,uci_id,born\n23,A. Kristiansen,Nordic Track,NOR,10011,2001-03-04\n",
       {"23|A. Kristiansen|Nordic Track|NOR|10011|2001-03-04"},
       ""},
      {"CRLF and no last line end", "bib,name\r\n1,A\r\n2,B", {"1|A||||", "2|B||||"}, ""},
      {"UTF-8 with BOM, headings in any case and order",
       "\xEF\xBB\xBFName,BIB,Nation\nZo\xC3\xA9 M\xC3\xBCller,7,SUI\n",
       {"7|Zo\xC3\xA9 M\xC3\xBCller||SUI||"},
       ""},
      {"quoted: commas, doubled quotes, line breaks",
       "bib,name,story\n5,\"O'Brien, C.\",\"said \"\"go\"\"\r\nthen went\"\n6,D,x\n",
       {"5|O'Brien, C.|||||story=said \"go\"\r\nthen went", "6|D|||||story=x"},
       ""},
      {"empty fields and blank lines kept apart",
       "bib,name,team,coach\n\n8,,,\n9,\"\",T,\"\"\n\n",
       {"8||||||coach=", "9||T||||coach="},
       ""},
      {"other columns keep their headings",
       "bib,Hometown,Fun fact\n3,Ghent,\"Likes, rain\"\n",
       {"3||||||Hometown=Ghent|Fun fact=Likes, rain"},
       ""},
      {"no bib column", "name,team\nA,B\n", {}, "line 1: no \"bib\" column"},
      {"duplicate bib",
       "bib,name\n1,A\n2,B\n1,C\n",
       {},
       "line 4, column 1: bib 1 again (first on line 2)"},
      {"duplicate bib after a multi-line field",
       "name,bib\n\"A\nB\",4\nC,4\n",
       {},
       "line 4, column 2: bib 4 again (first on line 2)"},
      {"empty bib", "bib,name\n,A\n", {}, "line 2, column 1: no bib"},
      {"a bib that cannot name a rider",
       "bib,name\n1/2,A\n",
       {},
       "line 2, column 1: the bib \"1/2\" is not 1 to 8 letters or digits"},
      {"too few fields",
       "bib,name,team\n1,A\n",
       {},
       "line 2: 2 fields where the heading row has 3"},
      {"quote inside an unquoted field",
       "bib,name\n1,A \"B\"\n",
       {},
       "line 2, column 2: a quote inside a field that does not start with one"},
      {"text after a closing quote",
       "bib,name\n1,\"A\"B\n",
       {},
       "line 2, column 2: text after the closing quote of a field"},
      {"quote never closed",
       "bib,name\n1,A\n2,\"B\n3,C\n",
       {},
       "line 3, column 2: a quoted field that never ends"},
      {"Latin-1 byte, not UTF-8",
       "bib,name\n1,A\n2,Ren\xE9\n",
       {},
       "line 3, column 2: bytes that are not UTF-8"},
      {"overlong UTF-8",
       "bib,name\n1,\xC0\xAF\n",
       {},
       "line 2, column 2: bytes that are not UTF-8"},
      {"truncated UTF-8 at the end",
       "bib,name\n1,A\xE2\x82",
       {},
       "line 2, column 2: bytes that are not UTF-8"},
      {"heading twice", "bib,name,Name\n", {}, "line 1, column 3: the heading \"Name\" twice"},
      {"empty heading", "bib,,name\n", {}, "line 1, column 2: a column without a heading"},
      {"empty file", "", {}, "line 1: the file is empty"},
      {"field too long",
       "bib,name\n1," + std::string(5000, 'x') + "\n",
       {},
       "line 2, column 2: a field longer than 4096 bytes"},
  };
  return cases;
}

TEST(StartListTest, FilesGiveTheirRidersOrOneError) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  int n = 0;
  for (const FileCase& c : Cases()) {
    SCOPED_TRACE(c.what);
    const QString path = dir.filePath(QStringLiteral("list%1.csv").arg(n++));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(c.bytes.data(), static_cast<qint64>(c.bytes.size()));
    file.close();
    StartListError error;
    const std::optional<StartList> list = StartList::Load(path, error);
    if (!c.error.empty()) {
      EXPECT_FALSE(list.has_value());
      EXPECT_EQ(error.Text().toStdString(), c.error);
      continue;
    }
    ASSERT_TRUE(list.has_value()) << error.Text().toStdString();
    std::vector<std::string> riders;
    for (const StartListRider& rider : list->Riders()) {
      riders.push_back(Line(rider));
    }
    EXPECT_EQ(riders, c.riders);
  }
}

TEST(StartListTest, FindsRidersByBibAndByNameAsRecordsWriteThem) {
  StartListError error;
  const auto list =
      StartList::Parse("bib,name,nation\n47,L. Martens,BEL\n11,T. ANDERSEN,DEN\n", error);
  ASSERT_TRUE(list.has_value());
  ASSERT_NE(list->FindBib("47"), nullptr);
  EXPECT_EQ(list->FindBib("47")->name, "L. Martens");
  EXPECT_EQ(list->FindBib("48"), nullptr);
  ASSERT_NE(list->FindName("L. MARTENS  BEL"), nullptr);  // a time trial's name line
  EXPECT_EQ(list->FindName("L. MARTENS  BEL")->bib, "47");
  EXPECT_EQ(list->FindName("t. andersen")->bib, "11");
  EXPECT_EQ(list->FindName("ANDERSEN"), nullptr);
}

// A 10 MB file: quoted fields with commas and line breaks in every row.
TEST(StartListTest, TenMegabyteFileLoadsAndTooLargeIsRefused) {
  QByteArray bytes = "bib,name,team,nation,uci_id,born,story\r\n";
  int riders = 0;
  while (bytes.size() < 10 * 1024 * 1024) {
    ++riders;
    bytes += QByteArray::number(riders) + ",\"Rider, " + QByteArray::number(riders) + "\",Team " +
             QByteArray::number(riders % 40) + ",NOR,100" + QByteArray::number(riders) +
             ",2000-01-01,\"" + QByteArray(40, 's') + "\r\nsecond \"\"line\"\"\"\r\n";
  }
  StartListError error;
  const auto start = std::chrono::steady_clock::now();
  const auto list = StartList::Parse(bytes, error);
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(list.has_value()) << error.Text().toStdString();
  EXPECT_EQ(static_cast<int>(list->Riders().size()), riders);
  const StartListRider* last = list->FindBib(QString::number(riders));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->name, QStringLiteral("Rider, %1").arg(riders));
  EXPECT_EQ(last->other.at(0).second, QString(40, 's') + "\r\nsecond \"line\"");
  std::printf(
      "10 MB start list (%d riders) read in %lld ms\n", riders,
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));

  bytes.resize(StartList::kMaxFileBytes + 1, '\n');
  EXPECT_FALSE(StartList::Parse(bytes, error).has_value());
  EXPECT_EQ(error.Text(), "larger than 32 MB");
}

}  // namespace
