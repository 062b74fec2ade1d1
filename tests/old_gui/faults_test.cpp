// Faults: every datagram size and byte value, random and malformed records,
// and data files that cannot be opened, read or written.
#include "app/data_files.h"
#include "app/globals.h"
#include "platform/string_grid.h"
#include "platform/text_list.h"
#include "screens/commenta_pts.h"
#include "screens/commenta_sprintr.h"
#include "screens/commenta_tt.h"
#include "screens/commentator_scratchf.h"
#include "screens/qdtype_commentator.h"
#include "support/test_support.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <random>
#include <utility>

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

const char* const kHeartbeatLine = "Heartbeat received from SERVER!!";

// The log line of a datagram from 127.0.0.1: its text ends at a zero byte.
std::string LoggedAs(std::string_view bytes) {
  return "127.0.0.1>" + std::string(bytes.substr(0, bytes.find('\0')));
}

// Sends one datagram to the first port and waits for the line that every
// received datagram adds; returns the lines it added, none if none came.
Lines Exchange(CommentatorFixture& fixture, std::string_view bytes) {
  const Tcommentator0_form& main = fixture.Main();
  const std::uint64_t before = main.TrafficLinesAdded();
  SendDatagram(fixture.Port1(), bytes);
  if (!WaitUntil([&] { return main.TrafficLinesAdded() > before; })) {
    return {};
  }
  const Lines log = fixture.Log();
  const auto added = std::min<std::size_t>(main.TrafficLinesAdded() - before, log.size());
  return Lines(log.end() - static_cast<std::ptrdiff_t>(added), log.end());
}

bool AnswersHeartbeat(CommentatorFixture& fixture) {
  return Exchange(fixture, "{heartbeat}+") == Lines({kHeartbeatLine, "127.0.0.1>{heartbeat}+"});
}

// --- Datagrams ----------------------------------------------------------------

// A time trial rider update padded to 1025 bytes, with a zero byte at 700.
std::string PaddedRiderUpdate() {
  std::string record =
      "{tt}+{tick-hit}1{crs}0{stack}0{name}HOFFMANN Kai{time}1:02.345{diff}-0.123{rank}2"
      "{spdk}54.10{ltg}7 laps{dist}2250 m";
  for (int lap = 1; record.size() < 1025; ++lap) {
    record += "{ltg" + std::to_string(lap) + "}" + std::to_string(42 - lap);
  }
  record.resize(1025);
  record[700] = '\0';
  return record;
}

TEST(Datagrams, EverySizeUpTo1024IsLoggedAnd1025LeavesNoTrace) {
  CommentatorFixture fixture;
  const std::string padded = PaddedRiderUpdate();
  for (std::size_t size = 0; size <= 1024; ++size) {
    const std::string_view bytes(padded.data(), size);
    ASSERT_EQ(Exchange(fixture, bytes), Lines({LoggedAs(bytes)})) << "size " << size;
  }
  EXPECT_EQ(fixture.windows->tt_commentator_form->Panel(0).summary->Cell(0, 0), "HOFFMANN Kai");

  std::string too_long = "{sprintf}+{title}TOO LONG";
  too_long.resize(1025, 'x');
  SendDatagram(fixture.Port1(), too_long);
  EXPECT_TRUE(AnswersHeartbeat(fixture)) << "the long datagram came first and added nothing";
  EXPECT_FALSE(fixture.windows->sprintr_commentator_form->isVisible());
}

struct ByteFamily {
  const char* name;
  std::string before;  // the record up to the byte, which sits inside a value
  std::string after;
  char ends_value;  // "{" for a tag value, "," for a quick-text line
  std::function<std::string(CommentatorWindows&)> shown;
};

TEST(Datagrams, EveryByteValueInsideAValueOfEveryFamily) {
  const std::vector<ByteFamily> families = {
      {"scratch", "{scratch}+{list}3{name}A", "Z{nat}GBR", '{',
       [](CommentatorWindows& w) { return w.commentator_scratch->StringGrid2->Cell(2, 4); }},
      {"quick text", "{qdtype}+{data},A", "Z,two,", ',',
       [](CommentatorWindows& w) { return w.qdtype_commentator_form->listbox1->Line(0); }},
      {"sprint", "{sprintf}+{title}Heat{r1}A", "Z{et}10.5", '{',
       [](CommentatorWindows& w) { return w.sprintr_commentator_form->StringGrid1->Cell(2, 0); }},
      {"points race", "{ptsrace}+{standings}0{bib}7{name}A", "Z{pts}5", '{',
       [](CommentatorWindows& w) {
         return w.ptsrace_commentator_form->StringGrid1->Cell(1, 1).substr(2);
       }},
      {"time trial", "{tt}+{tick-hit}1{crs}0{stack}0{name}A", "Z{time}1:02", '{',
       [](CommentatorWindows& w) { return w.tt_commentator_form->Panel(0).summary->Cell(0, 0); }},
  };
  CommentatorFixture fixture;
  for (const ByteFamily& family : families) {
    SCOPED_TRACE(family.name);
    for (int value = 0; value < 256; ++value) {
      const char byte = static_cast<char>(value);
      const std::string record = family.before + byte + family.after;
      ASSERT_EQ(Exchange(fixture, record), Lines({LoggedAs(record)})) << "byte " << value;
      const std::string expected =
          byte == '\0' || byte == family.ends_value ? "A" : std::string("A") + byte + "Z";
      ASSERT_EQ(family.shown(*fixture.windows), expected) << "byte " << value;
    }
  }
  // A flag is set by a lone "+", which a zero byte or the next tag ends.
  for (int value = 0; value < 256; ++value) {
    const std::string record = std::string("{heartbeat}+") + static_cast<char>(value) + "{tt}";
    const bool set = value == 0 || value == '{';
    Lines expected = {LoggedAs(record)};
    if (set) {
      expected.insert(expected.begin(), kHeartbeatLine);
    }
    ASSERT_EQ(Exchange(fixture, record), expected) << "byte " << value;
  }
}

// Random records: pure bytes, and tag soup after a real family flag.
std::string RandomRecord(std::mt19937& random, int kind) {
  static const std::vector<std::string> kFlags = {"{scratch}+", "{qdtype}+{data}", "{sprintf}+",
                                                  "{ptsrace}+", "{tt}+"};
  static const std::vector<std::string> kPieces = {
      "{scratch}", "{qdtype}", "{sprintf}",   "{ptsrace}", "{tt}",    "{clr}",      "{clr_racers}",
      "{title}",   "{list}",   "{standings}", "{sprint}",  "{sname}", "{tick-hit}", "{audit}",
      "{crs}",     "{stack}",  "{name}",      "{rnk}",     "{rank}",  "{time}",     "{diff}",
      "{dif}",     "{spdk}",   "{ltg}",       "{name3}",   "{pts5}",  "{ltg41}",    "{n17}",
      "{d0}",      "{ltg42}",  "+",           "+",         "0",       "1",          "49",
      "58",        "98",       "-1",          "$1F",       "0x",      "2147483648", "99999999999",
      "{",         "}",        ",",           " ",         "-"};
  const std::size_t length = random() % 1025;
  std::string record;
  if (kind == 0) {
    while (record.size() < length) {
      record.push_back(static_cast<char>(random() % 256));
    }
    return record;
  }
  record = kFlags[random() % kFlags.size()];
  while (record.size() < length) {
    if (kind == 1 || random() % 8 == 0) {
      record.push_back(static_cast<char>(random() % 256));
    } else {
      record += kPieces[random() % kPieces.size()];
    }
  }
  record.resize(length);
  return record;
}

TEST(Datagrams, RandomRecordsAreAllLoggedAndTheProgramGoesOn) {
  constexpr int kBatches = 120;
  constexpr int kBatchSize = 25;  // fits the 30 lines of the log
  CommentatorFixture fixture;
  const Tcommentator0_form& main = fixture.Main();
  std::mt19937 random(20240917);
  for (int batch = 0; batch < kBatches; ++batch) {
    Lines expected;
    const std::uint64_t before = main.TrafficLinesAdded();
    for (int i = 0; i < kBatchSize; ++i) {
      const std::string record = RandomRecord(random, (batch * kBatchSize + i) % 3);
      expected.push_back(LoggedAs(record));
      SendDatagram(fixture.Port1(), record);
    }
    ASSERT_TRUE(WaitUntil([&] { return main.TrafficLinesAdded() >= before + kBatchSize; }, 10000))
        << "batch " << batch;
    ASSERT_EQ(main.TrafficLinesAdded(), before + kBatchSize) << "batch " << batch;
    // A scratch record lets later ones be handled inside it, so their lines
    // may come first.
    Lines logged = fixture.Log();
    logged.erase(logged.begin(), logged.end() - kBatchSize);
    std::sort(logged.begin(), logged.end());
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(logged, expected) << "batch " << batch;
  }
  EXPECT_TRUE(AnswersHeartbeat(fixture));
}

// --- Malformed records ----------------------------------------------------------

// The cells that hold something, in every grid a position number selects,
// and the renamed sprint entries.
std::string Snapshot(CommentatorWindows& w) {
  std::string filled;
  const auto add = [&filled](const char* grid, int col, int row, const std::string& text) {
    if (!text.empty()) {
      filled += std::string(grid) + "(" + std::to_string(col) + "," + std::to_string(row) +
                ")=" + text + " ";
    }
  };
  const std::vector<std::pair<const char*, const StringGridModel*>> grids = {
      {"scratch", &w.commentator_scratch->StringGrid2->Model()},
      {"points", &w.ptsrace_commentator_form->StringGrid1->Model()},
      {"sprint", &w.ptsrace_commentator_form->StringGrid2->Model()},
      {"store", w.ptsrace_commentator_form->StringGrid3},
      {"tt", &w.tt_commentator_form->standings_stringgrid->Model()}};
  for (const auto& [name, grid] : grids) {
    for (int row = 0; row < grid->RowCount(); ++row) {
      for (int col = 0; col < grid->ColCount(); ++col) {
        add(name, col, row, grid->Cell(col, row));
      }
    }
  }
  const QComboBox& chooser = *w.ptsrace_commentator_form->ComboBox1;
  for (int i = 0; i < chooser.count(); ++i) {
    if (chooser.itemText(i) != QString::number(i + 1)) {
      add("chooser", 0, i, chooser.itemText(i).toStdString());
    }
  }
  return filled;
}

TEST(MalformedRecords, PositionsTooLongFor32BitsWriteNothing) {
  CommentatorFixture fixture;
  // Something in every grid, so a clearing would show as well as a write.
  for (const char* record :
       {"{scratch}+{list}0{name}KEEP", "{ptsrace}+{standings}0{name}KEEP",
        "{ptsrace}+{sprint}0{sname}KEEP{name1}KEEP", "{tt}+{standings}0{name}KEEP"}) {
    ASSERT_EQ(Exchange(fixture, record).size(), 1u);
  }
  const std::string before = Snapshot(*fixture.windows);
  // Each of these would land in range if it wrapped around 32 bits.
  for (const char* number :
       {"2147483648", "4294967296", "4294967301", "-2147483649", "-4294967291", "$100000005",
        "0x100000005", "X100000000", "99999999999999999999999999999"}) {
    SCOPED_TRACE(number);
    for (const std::string& record :
         {"{scratch}+{list}" + std::string(number) + "{name}OVER",
          "{ptsrace}+{standings}" + std::string(number) + "{name}OVER",
          "{ptsrace}+{sprint}" + std::string(number) + "{sname}OVER{name1}OVER",
          "{tt}+{standings}" + std::string(number) + "{name}OVER"}) {
      ASSERT_EQ(Exchange(fixture, record), Lines({LoggedAs(record)}));
      EXPECT_EQ(Snapshot(*fixture.windows), before) << record;
    }
  }
}

struct MalformedCase {
  const char* name;
  std::string record;
  const char* shown;  // which of scratch, quick text, sprint, points, time trial are shown
  std::function<std::string(CommentatorWindows&)> probe;
  std::string expected;
};

void PrintTo(const MalformedCase& c, std::ostream* out) {
  *out << c.name;
}

class MalformedRecordTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedRecordTest, HandledAsWritten) {
  const MalformedCase& c = GetParam();
  CommentatorFixture fixture;
  ASSERT_EQ(Exchange(fixture, c.record), Lines({LoggedAs(c.record)}));
  CommentatorWindows& w = *fixture.windows;
  std::string shown;
  for (const QWidget* window : {static_cast<QWidget*>(w.commentator_scratch.get()),
                                static_cast<QWidget*>(w.qdtype_commentator_form.get()),
                                static_cast<QWidget*>(w.sprintr_commentator_form.get()),
                                static_cast<QWidget*>(w.ptsrace_commentator_form.get()),
                                static_cast<QWidget*>(w.tt_commentator_form.get())}) {
    shown += window->isVisible() ? "+" : "-";
  }
  EXPECT_EQ(shown, c.shown);
  if (c.probe) {
    EXPECT_EQ(c.probe(w), c.expected);
  }
  EXPECT_TRUE(AnswersHeartbeat(fixture));
}

std::string Repeat(std::string_view piece, std::size_t total) {
  std::string text;
  while (text.size() + piece.size() <= total) {
    text += piece;
  }
  return text;
}

std::string HeatRows(CommentatorWindows& w) {
  std::string rows;
  for (const std::string& row : GridRows(*w.commentator_scratch->StringGrid1)) {
    rows += row + ";";
  }
  return rows;
}

// Rider panel 0: the name and the time line.
std::string RiderPanel0(CommentatorWindows& w) {
  const StringGrid& summary = *w.tt_commentator_form->Panel(0).summary;
  return summary.Cell(0, 0) + "|" + summary.Cell(0, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Records, MalformedRecordTest,
    ::testing::Values(
        MalformedCase{"only_opening_braces", std::string(1024, '{'), "-----", nullptr, ""},
        MalformedCase{"only_closing_braces", std::string(1024, '}'), "-----", nullptr, ""},
        MalformedCase{"empty_tags", Repeat("{}", 1024), "-----", nullptr, ""},
        MalformedCase{"flag_found_inside_a_brace_run", std::string(1000, '{') + "{tt}+", "----+",
                      nullptr, ""},
        MalformedCase{"flag_before_a_brace_run", "{sprintf}+" + std::string(1014, '{'), "--+--",
                      nullptr, ""},
        MalformedCase{"heat_title_without_values",
                      "{scratch}+{title}{time}{spd}" + std::string(996, '{'), "+----", HeatRows,
                      "Heat Title:|;Time:|;Speed:|;"},
        MalformedCase{"quick_text_flag_then_braces", "{qdtype}+" + std::string(1015, '{'), "-+---",
                      [](CommentatorWindows& w) {
                        return std::to_string(w.qdtype_commentator_form->listbox1->LineCount());
                      },
                      "8"},
        MalformedCase{"unterminated_tag_at_the_end",
                      "{tt}+{tick-hit}1{crs}0{stack}0{time}1:02{name", "----+", RiderPanel0,
                      "|1:02"},
        MalformedCase{"repeated_tag_without_value",
                      "{tt}+{tick-hit}1{crs}1{stack}1{time}1:02" + Repeat("{name}", 980), "----+",
                      RiderPanel0, "|1:02"},
        // The value is cut 255 characters after the tag's opening brace.
        MalformedCase{"closing_braces_as_a_value", "{sprintf}+{r1}" + std::string(1010, '}'),
                      "--+--",
                      [](CommentatorWindows& w) {
                        return w.sprintr_commentator_form->StringGrid1->Cell(2, 0);
                      },
                      std::string(251, '}')},
        MalformedCase{"lap_tags_without_closing_brace",
                      "{tt}+{tick-hit}1{ltg1{ltg2{ltg41}5{ltg42}6", "----+",
                      [](CommentatorWindows& w) {
                        const StringGrid& laps = *w.tt_commentator_form->Panel(1).laps;
                        return laps.Cell(0, 1) + "|" + laps.Cell(0, 2) + "|" + laps.Cell(0, 41);
                      },
                      "||5"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Data files -------------------------------------------------------------------

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

struct SettingsFault {
  const char* name;
  std::function<void(const QString& path)> make;
  std::string address;       // after the main window is shown
  QStringList shown_errors;  // reported while it is shown
  QStringList end_errors;    // reported by the orderly end
};

void PrintTo(const SettingsFault& c, std::ostream* out) {
  *out << c.name;
}

class SettingsFaultTest : public ::testing::TestWithParam<SettingsFault> {};

TEST_P(SettingsFaultTest, ReadAtShowingAndWrittenAtTheEnd) {
  const SettingsFault& c = GetParam();
  ErrorRecorder errors;
  CommentatorFixture fixture(/*show_main_window=*/false);
  const QString path = QDir(fixture.WorkDir()).filePath(kSettingsFileName);
  c.make(path);
  fixture.windows->ShowMainWindow();
  EXPECT_EQ(globals::listening_address, c.address);
  EXPECT_EQ(errors.messages, c.shown_errors);
  errors.messages.clear();
  fixture.End();
  EXPECT_EQ(errors.messages, c.end_errors);
}

void LinkTo(const QString& target, const QString& path) {
  ASSERT_EQ(::symlink(target.toLocal8Bit().constData(), path.toLocal8Bit().constData()), 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, SettingsFaultTest,
                         ::testing::Values(
                             // Cannot be opened either way, even by root: silent.
                             SettingsFault{"symlink_loop",
                                           [](const QString& path) { LinkTo(path, path); },
                                           "255.255.255.255",
                                           {},
                                           {}},
                             // Opens as a regular file, then every read and write fails.
                             SettingsFault{
                                 "read_and_write_errors",
                                 [](const QString& path) { LinkTo("/proc/self/mem", path); },
                                 "255.255.255.255",
                                 {"Input/output error"},
                                 {"Input/output error"}},
                             // Not a regular file, so never read; writing finds the disk full.
                             SettingsFault{"full_device",
                                           [](const QString& path) { LinkTo("/dev/full", path); },
                                           "255.255.255.255",
                                           {},
                                           {"No space left on device"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsFile, PermissionBitsThatForbidReadingOrWritingAreSilent) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "permission bits do not stop root; the read-only disk test covers root";
  }
  QTemporaryDir dir;
  const QString path = dir.filePath(kSettingsFileName);
  const QByteArray name = path.toLocal8Bit();
  ErrorRecorder errors;
  QFile(path).remove();
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("10.0.0.5\r\n");
  }
  ::chmod(name.constData(), 0444);
  EXPECT_EQ(ReadListeningAddress(name.constData()), "10.0.0.5");
  WriteListeningAddress(name.constData(), "10.0.0.9");
  ::chmod(name.constData(), 0000);
  EXPECT_EQ(ReadListeningAddress(name.constData()), "255.255.255.255");
  ::chmod(name.constData(), 0644);
  EXPECT_EQ(ReadAll(path), QByteArray("10.0.0.5\r\n"));
  EXPECT_TRUE(errors.messages.isEmpty());
}

TEST(QdtypeFile, AnExistingOneThatCannotBeOpenedIsLeftAsItIs) {
  struct Case {
    const char* name;
    std::function<void(const QString& path)> make;
    std::string after;  // its kind and content afterwards
  };
  const std::vector<Case> cases = {
      {"directory", [](const QString& path) { QDir().mkdir(path); }, "dir <unreadable>"},
      {"no_permissions",
       [](const QString& path) {
         QFile file(path);
         ASSERT_TRUE(file.open(QIODevice::WriteOnly));
         file.write("frames");
         file.close();
         ASSERT_TRUE(file.setPermissions({}));
       },
       "file frames"},
      {"symlink_loop", [](const QString& path) { LinkTo(path, path); }, "link <unreadable>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString path = dir.filePath(kQdtypeFileName);
    c.make(path);
    ErrorRecorder errors;
    EnsureQdtypeFile(path.toLocal8Bit().constData());
    EXPECT_TRUE(errors.messages.isEmpty());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const QFileInfo info(path);
    const char* kind = info.isSymLink() ? "link " : info.isDir() ? "dir " : "file ";
    EXPECT_EQ(kind + ReadAll(path).toStdString(), c.after);
  }
}

// A disk of our own: the test runs itself again in a private mount namespace
// (the host's mounts are never touched), where it mounts a small tmpfs.
constexpr const char* kOwnDiskVariable = "ORVANE_FAULTS_OWN_DISK";
constexpr int kNoTmpfsHere = 77;

void OnOwnDisk(const QString& disk) {
  const QByteArray root = disk.toLocal8Bit();
  if (::mount("tmpfs", root.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0) {
    std::fprintf(stderr, "faults_test: no tmpfs here: %s\n", std::strerror(errno));
    std::fflush(stderr);
    ::_exit(kNoTmpfsHere);
  }
  const QDir dir(disk);
  const QByteArray settings = dir.filePath(kSettingsFileName).toLocal8Bit();
  const QByteArray frames = dir.filePath(kQdtypeFileName).toLocal8Bit();
  ErrorRecorder errors;

  // Read-only: the settings are read but not written, the frames file not
  // created, and nothing is said.
  WriteListeningAddress(settings.constData(), "10.0.0.5");
  ASSERT_EQ(::mount(nullptr, root.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0)
      << std::strerror(errno);
  EXPECT_EQ(ReadListeningAddress(settings.constData()), "10.0.0.5");
  WriteListeningAddress(settings.constData(), "10.0.0.9");
  EnsureQdtypeFile(frames.constData());
  EXPECT_EQ(ReadAll(dir.filePath(kSettingsFileName)), QByteArray("10.0.0.5\r\n"));
  EXPECT_FALSE(QFile::exists(dir.filePath(kQdtypeFileName)));
  EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join("; ").toStdString();

  // Full: the files are created, and the failed writes are reported.
  ASSERT_EQ(::mount(nullptr, root.constData(), nullptr, MS_REMOUNT, nullptr), 0)
      << std::strerror(errno);
  ASSERT_TRUE(QFile::remove(dir.filePath(kSettingsFileName)));
  {
    QFile filler(dir.filePath("filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'f');
    int blocks = 0;
    while (blocks < 1000 && filler.write(block) == block.size()) {
      ++blocks;
    }
  }
  WriteListeningAddress(settings.constData(), "10.0.0.9");
  EnsureQdtypeFile(frames.constData());
  EXPECT_EQ(errors.messages, QStringList({"No space left on device", "No space left on device"}));
  // What the full disk left of the frames file stays as it is.
  const qint64 partial = QFileInfo(dir.filePath(kQdtypeFileName)).size();
  EXPECT_LT(partial, kQdtypeRecordCount * kQdtypeRecordSize);
  errors.messages.clear();
  ASSERT_TRUE(QFile::remove(dir.filePath("filler")));
  EnsureQdtypeFile(frames.constData());
  EXPECT_EQ(QFileInfo(dir.filePath(kQdtypeFileName)).size(), partial);
  EXPECT_TRUE(errors.messages.isEmpty());
}

TEST(DataFiles, ReadOnlyAndFullDisk) {
  if (const char* disk = std::getenv(kOwnDiskVariable)) {
    OnOwnDisk(QString::fromLocal8Bit(disk));
    return;
  }
  const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
  if (unshare.isEmpty()) {
    GTEST_SKIP() << "unshare (util-linux) is missing";
  }
  // Root makes the namespace directly; other users through a user namespace.
  QStringList namespace_options;
  for (const QStringList& options :
       {QStringList{"--mount"}, QStringList{"--map-root-user", "--mount"}}) {
    QProcess probe;
    probe.start(unshare, options + QStringList{"--", "true"});
    if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
        probe.exitCode() == 0) {
      namespace_options = options;
      break;
    }
  }
  if (namespace_options.isEmpty()) {
    GTEST_SKIP() << "no private mount namespace can be made here";
  }
  const ::testing::TestInfo& test = *::testing::UnitTest::GetInstance()->current_test_info();
  QTemporaryDir disk;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(kOwnDiskVariable, disk.path());
  QProcess child;
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(
      unshare,
      namespace_options +
          QStringList{
              "--", QCoreApplication::applicationFilePath(),
              QStringLiteral("--gtest_filter=%1.%2").arg(test.test_suite_name(), test.name())});
  ASSERT_TRUE(child.waitForFinished(120000)) << "the test on its own disk did not end";
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  if (child.exitCode() == kNoTmpfsHere) {
    GTEST_SKIP() << "a tmpfs cannot be mounted in the private mount namespace";
  }
  EXPECT_EQ(child.exitCode(), 0) << "see the output of the test on its own disk above";
  EXPECT_TRUE(QDir(disk.path()).isEmpty()) << "the tmpfs was mounted on the host";
}

}  // namespace
