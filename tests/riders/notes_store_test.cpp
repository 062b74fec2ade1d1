// The notes: saved soon after typing, replaced whole in the file, never
// lost to a kill or a full disk, and two people's edits of one rider kept
// as the note and its previous version.
#include "riders/notes_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <map>
#include <sstream>
#include <string>

namespace {

class NotesStoreTest : public ::testing::Test {
 protected:
  QString Path() const { return dir.filePath(QStringLiteral("notes.json")); }
  QTemporaryDir dir;
};

TEST_F(NotesStoreTest, SavedWithinASecondOfTypingAndReadBack) {
  NotesStore store(Path());
  ASSERT_TRUE(store.Load());
  QElapsedTimer typing;
  typing.start();
  // Typing on, every 100 ms for 1.5 s, does not put the save off.
  qint64 first_saved_ms = -1;
  for (int key = 1; key <= 16; ++key) {
    store.SetText("47", QString("Quarter-finalist").left(key), "desk", 1000 + key);
    QTest::qWait(100);
    if (first_saved_ms < 0 && QFile::exists(Path())) {
      first_saved_ms = typing.elapsed();
    }
  }
  EXPECT_GE(first_saved_ms, 0);
  EXPECT_LE(first_saved_ms, 1000);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !store.Pending(); }, 1000));

  NotesStore again(Path());
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Text("47"), "Quarter-finalist");
  EXPECT_EQ(again.Find("47")->current.author, "desk");
  EXPECT_FALSE(again.Find("47")->previous.has_value());  // one's own typing keeps no undo
}

// Two people at one rider: the later edit wins whole, the other is kept as
// the previous version, never merged.
TEST_F(NotesStoreTest, LaterEditWinsWholeAndTheOtherIsThePreviousVersion) {
  NotesStore store(Path());
  store.SetText("21", "Won two sprints", "desk", 1000);
  // Another screen's edit that knew ours.
  Note knew{{"Won two sprints; crashed in 2024", "studio", 2000},
            NoteVersion{"Won two sprints", "desk", 1000}};
  EXPECT_TRUE(store.TakeIncoming("21", knew));
  EXPECT_EQ(*store.Find("21"), knew);
  // Our edit over theirs keeps theirs as the previous version.
  store.SetText("21", "Crashed in 2024, back in form", "desk", 3000);
  EXPECT_EQ(store.Find("21")->previous->author, "studio");
  // A concurrent edit that did not know ours, and is later: wins, ours kept.
  Note concurrent{{"Team changed in May", "studio", 3500},
                  NoteVersion{"Won two sprints; crashed in 2024", "studio", 2000}};
  EXPECT_TRUE(store.TakeIncoming("21", concurrent));
  EXPECT_EQ(store.Text("21"), "Team changed in May");
  EXPECT_EQ(store.Find("21")->previous->text, "Crashed in 2024, back in form");
  // An earlier one, or the same again, changes nothing.
  EXPECT_FALSE(store.TakeIncoming("21", Note{{"old", "studio", 1500}, std::nullopt}));
  EXPECT_FALSE(store.TakeIncoming("21", concurrent));
  EXPECT_FALSE(store.TakeIncoming("2/1", concurrent));  // no such bib
  EXPECT_EQ(store.Text("21"), "Team changed in May");
  // One level of undo: back to the previous version, and forth again.
  EXPECT_TRUE(store.RestorePrevious("21", "desk", 4000));
  EXPECT_EQ(store.Text("21"), "Crashed in 2024, back in form");
  EXPECT_EQ(store.Find("21")->previous->text, "Team changed in May");
  EXPECT_GT(store.Find("21")->current.time_ms, 3500);  // a new edit, later than both
  EXPECT_FALSE(store.RestorePrevious("47", "desk", 4000));
}

TEST_F(NotesStoreTest, ABadFileIsNeitherLoadedNorOverwritten) {
  const std::pair<const char*, QByteArray> cases[] = {
      {"not JSON", "{\"format\":\"orvane-notes\",\"version\":1,\"notes\":{\"1\":"},
      {"another version", R"({"format":"orvane-notes","version":2,"notes":{}})"},
      {"a bib that is a path", R"({"format":"orvane-notes","version":1,"notes":{"../x":
         {"text":"a","author":"b","time":1}}})"},
      {"a note without time", R"({"format":"orvane-notes","version":1,"notes":{"1":
         {"text":"a","author":"b"}}})"},
      {"a text too long", R"({"format":"orvane-notes","version":1,"notes":{"1":{"text":")" +
                              QByteArray(kMaxNoteChars + 1, 'a') + R"(","author":"b","time":1}}})"},
  };
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    NotesStore store(Path());
    EXPECT_FALSE(store.Load());
    EXPECT_TRUE(store.Problem().contains("left as it is")) << store.Problem().toStdString();
    store.SetText("1", "new", "desk", 1);
    EXPECT_FALSE(store.SaveNow());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);
    file.close();
  }
}

// A file-size limit, as a full disk: the write fails, the old file stays
// whole, the problem is told, and the next write after room returns saves.
TEST_F(NotesStoreTest, AFullDiskKeepsTheOldNotesAndSaysWhy) {
  std::signal(SIGXFSZ, SIG_IGN);
  {
    NotesStore store(Path());
    store.SetText("52", "Keirin heat winner", "desk", 1);
    ASSERT_TRUE(store.SaveNow());
    const QByteArray saved = [&] {
      QFile file(Path());
      return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    rlimit saved_limit{};
    getrlimit(RLIMIT_FSIZE, &saved_limit);
    rlimit limit = saved_limit;
    limit.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limit);
    store.SetText("52", QString(8000, 'n'), "desk", 2);
    EXPECT_FALSE(store.SaveNow());
    setrlimit(RLIMIT_FSIZE, &saved_limit);
    EXPECT_EQ(store.Problem(), "notes not saved: File too large");
    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), saved);
    // The retry writes it once there is room again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store.Pending(); }, 5000));
    EXPECT_TRUE(store.Problem().isEmpty());
  }
  NotesStore again(Path());
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Text("52"), QString(8000, 'n'));
}

std::int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

struct Typed {
  long long counter;
  std::string bib;
  std::int64_t at_ns;
};

// Typed lines from the child's stdout until `until_ns` (or its end).
void ReadTyped(int fd, std::string& pending, std::vector<Typed>& typed, std::int64_t until_ns) {
  char buffer[4096];
  while (true) {
    const std::int64_t left_ms = until_ns < 0 ? 1000 : (until_ns - MonotonicNs()) / 1000000;
    if (until_ns >= 0 && left_ms <= 0) {
      return;
    }
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left_ms)) <= 0) {
      return;
    }
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) {
      return;
    }
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::istringstream line(pending.substr(0, end));
      Typed t{};
      line >> t.counter >> t.bib >> t.at_ns;
      typed.push_back(t);
      pending.erase(0, end + 1);
    }
  }
}

// Killed with SIGKILL at random moments while typing: the file is always a
// whole notes file, and every note typed more than a second before the kill
// (or a later one of the same rider) is in it.
TEST_F(NotesStoreTest, KilledWhileTypingLosesNothingOlderThanASecond) {
  QRandomGenerator random(20261211);
  long long next_counter = 0;
  int checked = 0;
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const std::string path = Path().toStdString();
    const std::string first = std::to_string(next_counter);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      execl(NOTES_TYPIST, NOTES_TYPIST, path.c_str(), first.c_str(), nullptr);
      _exit(127);
    }
    close(out[1]);
    std::string pending;
    std::vector<Typed> typed;
    const int typing_ms = random.bounded(300, 2500);
    ReadTyped(out[0], pending, typed, MonotonicNs() + typing_ms * 1000000LL);
    const std::int64_t killed_at = MonotonicNs();
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ReadTyped(out[0], pending, typed, -1);
    close(out[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the typist ended by itself: " << status;

    NotesStore store(Path());
    ASSERT_TRUE(store.Load()) << store.Problem().toStdString();
    std::map<std::string, long long> must_have;
    for (const Typed& t : typed) {
      if (t.at_ns <= killed_at - 1000000000LL) {
        must_have[t.bib] = std::max(must_have[t.bib], t.counter);
      }
    }
    for (const auto& [bib, counter] : must_have) {
      const QString text = store.Text(QString::fromStdString(bib));
      const long long saved = text.section(' ', 1, 1).section('\n', 0, 0).toLongLong();
      EXPECT_GE(saved, counter) << "bib " << bib << " after " << typing_ms << " ms";
      ++checked;
    }
    if (!typed.empty()) {
      next_counter = typed.back().counter + 1;
    }
  }
  EXPECT_GT(checked, 0);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
