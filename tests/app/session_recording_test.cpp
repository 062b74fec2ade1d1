// Session recording: every datagram taken in, accepted or turned away, is
// kept in a session file that race-feed replays byte for byte to the same
// ports, in order; a recording never overwrites a file; a failed write ends
// the recording and says why, leaves only whole lines, and the screen goes on.
#include "app/session_recorder.h"
#include "files/private_namespace.h"
#include "session/session_format.h"
#include "support/test_support.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <utility>

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

struct Received {
  int port_index;
  std::string bytes;
};

// Two receivers on given ports, collecting what arrives, in order.
class Collector {
 public:
  explicit Collector(const std::vector<quint16>& ports) {
    for (quint16 port : ports) {
      const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      sockaddr_in local{};
      local.sin_family = AF_INET;
      local.sin_port = htons(port);
      local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0) << port;
      fds_.push_back(fd);
    }
  }
  ~Collector() {
    for (int fd : fds_) {
      ::close(fd);
    }
  }
  // Everything waiting, by arrival on each port; sent from one socket in
  // order, so each port's order is the sending order.
  std::vector<Lines> Take() {
    std::vector<Lines> got(fds_.size());
    char buffer[2048];
    for (std::size_t i = 0; i < fds_.size(); ++i) {
      for (;;) {
        const ssize_t size = recv(fds_[i], buffer, sizeof buffer, MSG_DONTWAIT);
        if (size < 0) {
          break;
        }
        got[i].emplace_back(buffer, static_cast<std::size_t>(size));
      }
    }
    return got;
  }

 private:
  std::vector<int> fds_;
};

// Awkward records: every byte the format must escape, the empty datagram,
// a full 1024 bytes, high bytes, a zero byte, and a line that starts like a
// delay.
Lines AwkwardRecords() {
  std::string high;
  for (int byte = 0x80; byte <= 0xff; ++byte) {
    high.push_back(static_cast<char>(byte));
  }
  return {"{tt}+\t{name}A\tB",
          "carriage\rreturn",
          "line\nfeed",
          "back\\slash\\t",
          "",
          std::string(1024, 'z'),
          high,
          "12\t34\tnot a delay",
          std::string("zero\0byte", 9),
          "{heartbeat}+"};
}

TEST(SessionRecording, ReplaysByteForByteToTheSamePortsInOrder) {
  const QString session = QDir::temp().filePath(
      QStringLiteral("orvane-session-%1.txt").arg(QCoreApplication::applicationPid()));
  QFile::remove(session);
  const Lines records = AwkwardRecords();
  quint16 ports[2] = {0, 0};
  {
    CommentatorFixture fixture;
    QString error;
    ASSERT_TRUE(fixture.App().StartRecording(session, error)) << error.toStdString();
    ports[0] = fixture.Port1();
    ports[1] = fixture.Port2();
    // Alternate ports; one at a time so the two sockets keep the order.
    for (std::size_t i = 0; i < records.size(); ++i) {
      ASSERT_TRUE(fixture.SendAndWait(records[i], 1, i % 2 == 0 ? ports[0] : ports[1]));
    }
    // A sender the listening address turns away is kept too.
    fixture.App().Address().SetText("127.0.0.9");
    ASSERT_TRUE(fixture.SendAndWait("turned away", 1, ports[0]));
  }  // the orderly end writes what is left

  QFile file(session);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readLine().startsWith("#orvane-session 1\n"));
  file.close();

  // The ports are free again: race-feed plays the session back to them.
  Collector collector({ports[0], ports[1]});
  QProcess replay;
  replay.start(QStringLiteral(RACE_FEED_PATH),
               {"replay", session, "--host", "127.0.0.1", "--speed", "100", "--quiet"});
  ASSERT_TRUE(replay.waitForFinished(30000));
  EXPECT_EQ(replay.exitCode(), 0) << replay.readAllStandardError().toStdString();
  std::vector<Lines> expected(2);
  for (std::size_t i = 0; i < records.size(); ++i) {
    expected[i % 2].push_back(records[i]);
  }
  expected[0].push_back("turned away");
  EXPECT_EQ(collector.Take(), expected);
  QFile::remove(session);
}

TEST(SessionRecording, NeverOverwritesAFile) {
  CommentatorFixture fixture;
  const QString path = QDir(fixture.WorkDir()).filePath("kept.txt");
  QFile kept(path);
  ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
  kept.write("an earlier session");
  kept.close();
  QString error;
  EXPECT_FALSE(fixture.App().StartRecording(path, error));
  EXPECT_EQ(error, path + " already exists; a recording never overwrites a file");
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), "an earlier session");

  // A name's control characters reach a message (and a terminal) escaped.
  const QString odd = QDir(fixture.WorkDir())
                          .filePath(QStringLiteral("no\x1b]2;x\x07"
                                                   "dir/s.txt"));
  EXPECT_FALSE(fixture.App().StartRecording(odd, error));
  EXPECT_TRUE(
      error.endsWith(QStringLiteral("no\\x1B]2;x\\x07dir/s.txt: No such file or directory")))
      << error.toStdString();
}

TEST(SessionRecording, WrittenAtLeastOnceASecond) {
  CommentatorFixture fixture;
  const QString path = QDir(fixture.WorkDir()).filePath("live.txt");
  QString error;
  ASSERT_TRUE(fixture.App().StartRecording(path, error));
  ASSERT_TRUE(fixture.SendAndWait("{heartbeat}+", 2));
  EXPECT_TRUE(WaitUntil(
      [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.readAll().contains("{heartbeat}+");
      },
      2500))
      << "still recording, and the line is on disk";
}

// Records of 1000 bytes are taken in until the disk refuses part of a write.
// The recording stops and says why; the file keeps whole lines only, the
// records in order from the first; and the screen goes on.
void ExpectCutToWholeLines(CommentatorFixture& fixture, const QString& path,
                           const std::function<void()>& refuse_more, const QString& problem) {
  QString error;
  ASSERT_TRUE(fixture.App().StartRecording(path, error)) << error.toStdString();
  ASSERT_NE(fixture.App().Recorder(), nullptr);
  refuse_more();
  Lines records;
  for (char c = 'a'; c < 'g'; ++c) {
    records.push_back("{qdtype}+" + std::string(991, c));
    ASSERT_TRUE(fixture.SendAndWait(records.back(), 1));
  }
  ASSERT_TRUE(WaitUntil([&] { return !fixture.App().Recorder()->Problem().isEmpty(); }, 2500));
  EXPECT_EQ(fixture.App().Recorder()->StatusText(),
            "recording stopped: " + QFileInfo(path).fileName() + ": " + problem);

  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const std::string text = file.readAll().toStdString();
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n') << "ends mid-line, after " << text.size() << " bytes";
  std::string_view rest(text);
  ASSERT_TRUE(rest.starts_with("#orvane-session 1\n"));
  rest.remove_prefix(rest.find('\n') + 1);
  std::size_t taken = 0;
  while (!rest.empty()) {
    const std::string_view line = rest.substr(0, rest.find('\n'));
    rest.remove_prefix(std::min(rest.size(), line.size() + 1));
    if (line.starts_with(session::kAddressLinePrefix)) {
      continue;  // the listening address in force
    }
    session::SessionEntry entry;
    std::string line_error;
    ASSERT_TRUE(session::ParseSessionLine(line, entry, line_error)) << line_error;
    ASSERT_LT(taken, records.size());
    EXPECT_EQ(entry.bytes, records[taken++]);
  }
  EXPECT_GE(taken, 1u);
  EXPECT_LT(taken, records.size()) << "the disk took everything";

  ASSERT_TRUE(fixture.SendAndWait("{tt}+{standings}0{rnk}1{name}Still here"));
  EXPECT_EQ(fixture.Data().time_trial.standings.Cell(1, 1), "Still here");
}

// A file-size limit, in this process: the write past it fails (SIGXFSZ is
// the recorder's to ignore) as a full disk's would.
TEST(SessionRecording, AFileSizeLimitLeavesWholeLines) {
  CommentatorFixture fixture;
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  ExpectCutToWholeLines(
      fixture, QDir(fixture.WorkDir()).filePath("limited.txt"),
      [&] {
        rlimit limit = saved;
        limit.rlim_cur = 3500;
        setrlimit(RLIMIT_FSIZE, &limit);
      },
      "File too large");
  setrlimit(RLIMIT_FSIZE, &saved);
}

// A disk that fills: a tmpfs of 64 KiB in a private mount namespace.
TEST(SessionRecording, AFullDiskLeavesWholeLines) {
  if (!InsidePrivateNamespace({QStringLiteral("--mount")})) {
    return;
  }
  QTemporaryDir disk;
  const QByteArray root = QFile::encodeName(disk.path());
  if (::mount("tmpfs", root.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0) {
    SkipFromInside("a tmpfs cannot be mounted here");
  }
  {
    CommentatorFixture fixture;
    // The header takes the recording's first page; a filler takes the rest.
    ExpectCutToWholeLines(
        fixture, QDir(disk.path()).filePath("full.txt"),
        [&] {
          QFile filler(QDir(disk.path()).filePath("filler"));
          ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
          const QByteArray block(4096, 'f');
          for (int blocks = 0; blocks < 100 && filler.write(block) == block.size(); ++blocks) {
          }
        },
        "No space left on device");
  }
  ::umount(root.constData());
}

// File > "Record Session...": a name typed without an extension gets ".txt",
// as save dialogs do; one with an extension keeps it.
TEST(SessionRecording, TheMenuAddsTxtToANameWithoutAnExtension) {
  for (const auto& [typed, recorded] :
       {std::pair{"evening", "evening.txt"}, std::pair{"evening.log", "evening.log"}}) {
    SCOPED_TRACE(typed);
    CommentatorFixture fixture;
    QAction* record = nullptr;
    for (QAction* action : fixture.Main().findChildren<QAction*>()) {
      if (action->text() == "Record Session...") {
        record = action;
      }
    }
    ASSERT_NE(record, nullptr);
    const QString folder = fixture.WorkDir();
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->selectFile(folder + "/" + typed);
      static_cast<QDialog*>(dialog)->accept();  // as OK does
    });
    record->trigger();
    ASSERT_NE(fixture.App().Recorder(), nullptr);
    EXPECT_EQ(QFileInfo(fixture.App().Recorder()->Path()).fileName(), recorded);
    EXPECT_TRUE(QFileInfo::exists(folder + "/" + recorded));
  }
}

}  // namespace
