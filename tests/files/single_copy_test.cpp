// One copy per machine, and a settings file that survives the end of the
// program whatever happens to the save. The tests that start the real
// program do it in a private network namespace: there it binds the real
// ports without meeting a screen or another test on this machine.
#include "app/single_instance.h"
#include "private_namespace.h"
#include "support/test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr ListenerPorts kRealPorts{29105, 29104};

// --- The claim, in this process ---------------------------------------------------

// A pair no screen uses, and no other test process either.
ListenerPorts PairOfThisProcess() {
  const auto first = static_cast<quint16>(40000 + ::getpid() % 20000);
  return {first, static_cast<quint16>(first + 1)};
}

std::string UserName() {
  const passwd* entry = ::getpwuid(::geteuid());
  return entry != nullptr ? entry->pw_name : std::to_string(::geteuid());
}

TEST(PortClaim, HeldOncePerPairAndNamesItsHolder) {
  const ListenerPorts ports = PairOfThisProcess();
  {
    const PortClaim first(ports);
    ASSERT_TRUE(first.Held());
    const PortClaim second(ports);
    EXPECT_FALSE(second.Held());
    EXPECT_EQ(second.Holder().pid, ::getpid());
    EXPECT_EQ(second.Holder().program, "single_copy_test");
    EXPECT_EQ(second.Holder().user, UserName());
    // Each later copy learns it too: the holder hangs up on every caller.
    for (int copy = 0; copy < 20; ++copy) {
      Settle(1);
      EXPECT_EQ(PortClaim(ports).Holder().pid, ::getpid()) << "copy " << copy;
    }
    const PortClaim other_pair({ports.second, ports.first});
    EXPECT_TRUE(other_pair.Held());
  }
  EXPECT_TRUE(PortClaim(ports).Held()) << "the claim outlived its holder";
}

TEST(PortClaim, MessageNamesThePortsAndWhatTheSystemTellsOfTheHolder) {
  const QString end =
      QStringLiteral("\nThis copy will end now; use the screen that is already running.");
  EXPECT_EQ(AlreadyListeningMessage(kRealPorts, {4242, "orvane-commentator", "alice"}),
            "Another commentator screen is already listening on UDP ports 29105 and 29104 "
            "(orvane-commentator, process 4242, user alice)." +
                end);
  EXPECT_EQ(AlreadyListeningMessage(kRealPorts, {4242, "", "1001"}),
            "Another commentator screen is already listening on UDP ports 29105 and 29104 "
            "(process 4242, user 1001)." +
                end);
  EXPECT_EQ(AlreadyListeningMessage({7, 8}, {}),
            "Another commentator screen is already listening on UDP ports 7 and 8." + end);
}

// --- The real program -------------------------------------------------------------

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeout_ms) {
      return false;
    }
    ::usleep(10000);
  }
  return true;
}

// The inodes of the UDP sockets bound to `port` in this network namespace.
std::set<std::string> UdpSocketsOn(quint16 port) {
  std::set<std::string> inodes;
  QFile table(QStringLiteral("/proc/net/udp"));
  if (!table.open(QIODevice::ReadOnly)) {
    return inodes;
  }
  const QByteArray local_port = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
  for (const QByteArray& line : table.readAll().split('\n')) {
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() > 9 && fields[1].endsWith(local_port)) {
      inodes.insert(fields[9].toStdString());
    }
  }
  return inodes;
}

std::set<std::string> SocketsOf(qint64 pid) {
  std::set<std::string> inodes;
  const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
  for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
    const QString target = QFile::symLinkTarget(fds.filePath(fd));
    const int open = target.indexOf(QLatin1String("socket:["));
    if (open >= 0) {
      inodes.insert(target.mid(open + 8).chopped(1).toStdString());
    }
  }
  return inodes;
}

// Both ports bound, each by one socket of `pid`.
bool ServesBothPorts(qint64 pid) {
  const std::set<std::string> own = SocketsOf(pid);
  for (const quint16 port : {kRealPorts.first, kRealPorts.second}) {
    const std::set<std::string> bound = UdpSocketsOn(port);
    if (bound.size() != 1 || own.count(*bound.begin()) == 0) {
      return false;
    }
  }
  return true;
}

struct Account {
  uid_t uid = 0;
  gid_t gid = 0;
};

// A copy of the program in a directory of its own (anyone may run it), and
// the way to start it in a working directory with its own runtime directory.
class Program {
 public:
  Program() {
    const QString binary = directory_.filePath(QStringLiteral("orvane-commentator"));
    copied_ = QFile::copy(QStringLiteral(ORVANE_COMMENTATOR), binary) &&
              QFile::setPermissions(directory_.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                           QFile::ExeOwner | QFile::ReadOther |
                                                           QFile::ExeOther);
    binary_ = binary;
  }
  bool Ready() const { return copied_; }

  // `prepare` runs in the child just before the program: limits, another user.
  void Start(QProcess& process, const QString& work_dir, const QString& runtime_dir,
             std::function<void()> prepare = {}) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_dir);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(work_dir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (prepare) {
      process.setChildProcessModifier(std::move(prepare));
    }
    process.start(binary_, {});
  }

 private:
  QTemporaryDir directory_;
  QString binary_;
  bool copied_ = false;
};

// A fresh directory for one copy, owned by `account`.
std::unique_ptr<QTemporaryDir> DirectoryFor(const Account& account) {
  auto directory = std::make_unique<QTemporaryDir>();
  EXPECT_EQ(::chown(directory->path().toLocal8Bit().constData(), account.uid, account.gid), 0);
  return directory;
}

// Collects what the program writes until `text` appears.
bool WaitForOutput(QProcess& process, QByteArray& seen, const QByteArray& text, int timeout_ms) {
  QElapsedTimer clock;
  clock.start();
  while (!seen.contains(text) && clock.elapsed() < timeout_ms) {
    process.waitForReadyRead(50);
    seen += process.readAll();
    if (process.state() == QProcess::NotRunning) {
      seen += process.readAll();
      break;
    }
  }
  return seen.contains(text);
}

void Stop(QProcess& process, int signal_number) {
  if (process.state() != QProcess::NotRunning) {
    ::kill(static_cast<pid_t>(process.processId()), signal_number);
    process.waitForFinished(10000);
  }
}

// Whoever starts the second copy and from wherever, it ends with the message
// and never binds the ports; once the first is gone, the next copy starts.
TEST(OneCopyPerMachine, ASecondCopyFromAnotherUserOrSessionNeverBindsThePorts) {
  if (!InsidePrivateNamespace({QStringLiteral("--net")})) {
    return;
  }
  const Program program;
  ASSERT_TRUE(program.Ready());
  const Account root;
  const auto first_work = DirectoryFor(root);
  const auto first_runtime = DirectoryFor(root);
  QProcess first;
  program.Start(first, first_work->path(), first_runtime->path());
  ASSERT_TRUE(first.waitForStarted());
  ASSERT_TRUE(WaitFor([&] { return ServesBothPorts(first.processId()); }, 20000))
      << first.readAll().toStdString();

  struct Second {
    const char* who;
    Account account;
  };
  std::vector<Second> seconds = {{"the same user with another runtime directory", root}};
  if (const passwd* nobody = ::getpwnam("nobody"); nobody != nullptr && InsideAsRealRoot()) {
    seconds.push_back({"another user (nobody)", {nobody->pw_uid, nobody->pw_gid}});
  } else {
    std::printf("note: only real root can start a copy as another user; that case is left out\n");
  }
  const QByteArray message =
      AlreadyListeningMessage(kRealPorts,
                              {static_cast<long>(first.processId()), "orvane-commentator", "root"})
          .toLocal8Bit();
  for (const Second& second_copy : seconds) {
    SCOPED_TRACE(second_copy.who);
    const Account account = second_copy.account;
    const auto work = DirectoryFor(account);
    const auto runtime = DirectoryFor(account);
    QProcess second;
    program.Start(second, work->path(), runtime->path(), [account] {
      if (account.uid != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(account.gid) != 0 ||
                               ::setuid(account.uid) != 0)) {
        ::_exit(126);
      }
    });
    ASSERT_TRUE(second.waitForStarted());
    QByteArray said;
    EXPECT_TRUE(WaitForOutput(second, said, message, 20000)) << said.toStdString();
    // Still running, its message box open: the ports are the first copy's alone.
    EXPECT_EQ(second.state(), QProcess::Running);
    EXPECT_TRUE(ServesBothPorts(first.processId()));
    for (const std::string& socket : SocketsOf(second.processId())) {
      EXPECT_EQ(UdpSocketsOn(kRealPorts.first).count(socket), 0u);
      EXPECT_EQ(UdpSocketsOn(kRealPorts.second).count(socket), 0u);
    }
    EXPECT_TRUE(QDir(work->path()).isEmpty()) << "the second copy started up";
    Stop(second, SIGKILL);
  }

  // Killed, the first copy leaves no claim behind.
  Stop(first, SIGKILL);
  QProcess next;
  program.Start(next, first_work->path(), first_runtime->path());
  EXPECT_TRUE(WaitFor([&] { return ServesBothPorts(next.processId()); }, 20000))
      << next.readAll().toStdString();
  Stop(next, SIGTERM);
  EXPECT_EQ(next.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(next.exitCode(), 0);
}

// A program that holds a port without address reuse is none of ours: the
// screen starts, leaves that port closed, and says nothing.
TEST(OneCopyPerMachine, AForeignProgramOnAPortKeepsThePortClosedWithoutAWord) {
  if (!InsidePrivateNamespace({QStringLiteral("--net")})) {
    return;
  }
  const int foreign = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(kRealPorts.first);
  ASSERT_EQ(::bind(foreign, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const std::set<std::string> foreign_socket = UdpSocketsOn(kRealPorts.first);

  const Program program;
  ASSERT_TRUE(program.Ready());
  const QTemporaryDir work;
  const QTemporaryDir runtime;
  QProcess screen;
  program.Start(screen, work.path(), runtime.path());
  ASSERT_TRUE(screen.waitForStarted());
  const auto serves_second_port = [&] {
    const std::set<std::string> bound = UdpSocketsOn(kRealPorts.second);
    return bound.size() == 1 && SocketsOf(screen.processId()).count(*bound.begin()) == 1;
  };
  EXPECT_TRUE(WaitFor(serves_second_port, 20000));
  EXPECT_EQ(UdpSocketsOn(kRealPorts.first), foreign_socket);
  Stop(screen, SIGTERM);
  EXPECT_EQ(screen.exitCode(), 0);
  EXPECT_FALSE(screen.readAll().contains("orvane-commentator:"));
  ::close(foreign);
}

// --- The end of the program under a file-size limit -------------------------------

// Sends `count` scratch records to the first port, at about 20,000 a
// second, and `on_sent(n)` after each.
void Flood(int count, const std::function<void(int sent)>& on_sent) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kRealPorts.first);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (int sent = 1; sent <= count; ++sent) {
    const std::string record = "{scratch}+{list}" + std::to_string(sent % 50) + "{rank}" +
                               std::to_string(sent % 50 + 1) + "{name}RIDER " +
                               std::to_string(sent) + "{laps}" + std::to_string(sent % 30);
    ::sendto(fd, record.data(), record.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
    on_sent(sent);
    if (sent % 100 == 0) {
      ::usleep(2000);
    }
  }
  ::close(fd);
}

// Started, flooded, told to end while the records still pour in: the save
// at the end fails on the file-size limit and the file stays byte for byte.
TEST(SettingsAtTheEnd, SigtermDuringAFloodUnderAFileSizeLimitKeepsTheFileIntact) {
  if (!InsidePrivateNamespace({QStringLiteral("--net")})) {
    return;
  }
  const Program program;
  ASSERT_TRUE(program.Ready());
  const QByteArray settings = "127.0.0.1\r\n";
  const QByteArray frames(31000, 'q');
  constexpr int kRuns = 20;
  constexpr int kRecords = 20000;
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const QTemporaryDir work;
    const QTemporaryDir runtime;
    const QDir dir(work.path());
    const std::pair<const char*, QByteArray> files[] = {{"commentator.dat", settings},
                                                        {"qdtype.dat", frames}};
    for (const auto& [name, bytes] : files) {
      QFile file(dir.filePath(QString::fromLatin1(name)));
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(bytes);
    }
    QProcess screen;
    program.Start(screen, work.path(), runtime.path(), [] {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit none{0, 0};
      ::setrlimit(RLIMIT_FSIZE, &none);
    });
    ASSERT_TRUE(screen.waitForStarted());
    ASSERT_TRUE(WaitFor([&] { return ServesBothPorts(screen.processId()); }, 20000))
        << screen.readAll().toStdString();
    const int end_at = 1000 + run * (kRecords - 2000) / kRuns;
    Flood(kRecords, [&](int sent) {
      if (sent == end_at) {
        ::kill(static_cast<pid_t>(screen.processId()), SIGTERM);
      }
    });
    QByteArray said;
    EXPECT_TRUE(
        WaitForOutput(screen, said, "orvane-commentator: commentator.dat: File too large", 10000))
        << said.toStdString();
    // Its message box waits for a click that never comes.
    Stop(screen, SIGKILL);
    QFile file(dir.filePath(QStringLiteral("commentator.dat")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), settings);
    QFile other(dir.filePath(QStringLiteral("qdtype.dat")));
    ASSERT_TRUE(other.open(QIODevice::ReadOnly));
    EXPECT_EQ(other.readAll(), frames);
    EXPECT_EQ(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 2);
    if (::testing::Test::HasFailure()) {
      break;  // one failed run tells it all
    }
  }
}

}  // namespace
