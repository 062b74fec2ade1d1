// Session recording: every datagram taken in, accepted or turned away, is
// kept in a session file that race-feed replays byte for byte to the same
// ports, in order; a recording never overwrites a file; a failed write ends
// the recording and says why, and the screen goes on.
#include "app/session_recorder.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

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

TEST(SessionRecording, AFailedWriteEndsTheRecordingAndTheScreenGoesOn) {
  CommentatorFixture fixture;
  const QString path = QDir(fixture.WorkDir()).filePath("full.txt");
  QString error;
  ASSERT_TRUE(fixture.App().StartRecording(path, error));
  ASSERT_NE(fixture.App().Recorder(), nullptr);
  // A file-size limit makes the next write fail, as a full disk would.
  struct sigaction ignore {};
  struct sigaction before {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &before);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit saved = limit;
  limit.rlim_cur = 32;
  setrlimit(RLIMIT_FSIZE, &limit);
  ASSERT_TRUE(fixture.SendAndWait("{heartbeat}+" + std::string(100, 'x'), 1));
  const bool stopped =
      WaitUntil([&] { return !fixture.App().Recorder()->Problem().isEmpty(); }, 2500);
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &before, nullptr);
  ASSERT_TRUE(stopped);
  EXPECT_EQ(fixture.App().Recorder()->StatusText(), "recording stopped: full.txt: File too large");
  // The records go on being shown and logged.
  ASSERT_TRUE(fixture.SendAndWait("{tt}+{standings}0{rnk}1{name}Still here"));
  EXPECT_EQ(fixture.Data().time_trial.standings.Cell(1, 1), "Still here");
}

}  // namespace
