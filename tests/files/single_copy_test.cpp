// One copy per machine, the refused copy's message and the termination
// signals, and a settings file that survives the end of the program
// whatever happens to the save. The tests that start the real
// program do it in a private network namespace: there it binds the real
// ports without meeting a screen or another test on this machine.
#include "app/single_instance.h"
#include "platform/application.h"
#include "private_namespace.h"
#include "support/test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr ListenerPorts kRealPorts{29105, 29104};

// --- The kernel's tables --------------------------------------------------------

TEST(UdpPortTable, RowsOnThePortWhoseDatagramsAReceiverOnTheAnyAddressShares) {
  const QByteArray v4 =
      "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
      "timeout inode ref pointer drops\n"
      "  1: 00000000:71B1 00000000:0000 07 00000000:00000000 00:00000000 00000000     0  0 101 2 "
      "0000000000000000 0\n"
      "  2: 0100007F:71B1 00000000:0000 07 00000000:00000000 00:00000000 00000000  1001  0 102 2 "
      "0000000000000000 0\n"
      "  3: 00000000:71B0 00000000:0000 07 00000000:00000000 00:00000000 00000000     0  0 103 2 "
      "0000000000000000 0\n"
      "  4: 00000000:71B1 00000000:0000 07 00000000:00000000 00:00000000 00000000     x  0 104 2\n"
      "  5: 00000000:71B1\n"
      "\x1b[2J: 00000000:71B1 00000000:0000 07 0 0 0 0 0 0\n";
  const std::vector<std::pair<unsigned long long, uid_t>> v4_expected = {{101, 0}, {102, 1001}};
  std::vector<std::pair<unsigned long long, uid_t>> got;
  for (const UdpSocketEntry& entry : SocketsSharingPort(v4, false, 29105)) {
    got.emplace_back(entry.inode, entry.uid);
  }
  EXPECT_EQ(got, v4_expected);

  const QByteArray v6 =
      "  sl  local_address                         remote_address                        st "
      "tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode ref pointer drops\n"
      // ::, ::ffff:127.0.0.1, ::1 and 2001:db8::1 as a little-endian kernel prints them.
      "  1: 00000000000000000000000000000000:71B1 00000000000000000000000000000000:0000 07 "
      "00000000:00000000 00:00000000 00000000  0  0 201 2 0 0\n"
      "  2: 0000000000000000FFFF00000100007F:71B1 00000000000000000000000000000000:0000 07 "
      "00000000:00000000 00:00000000 00000000  0  0 202 2 0 0\n"
      "  3: 00000000000000000000000001000000:71B1 00000000000000000000000000000000:0000 07 "
      "00000000:00000000 00:00000000 00000000  0  0 203 2 0 0\n"
      "  4: B80D0120000000000000000001000000:71B1 00000000000000000000000000000000:0000 07 "
      "00000000:00000000 00:00000000 00000000  0  0 204 2 0 0\n";
  got.clear();
  for (const UdpSocketEntry& entry : SocketsSharingPort(v6, true, 29105)) {
    got.emplace_back(entry.inode, entry.uid);
  }
  const std::vector<std::pair<unsigned long long, uid_t>> v6_expected = {{201, 0}, {202, 0}};
  EXPECT_EQ(got, v6_expected);
}

// --- The claim, in this process ---------------------------------------------------

std::string UserName() {
  const passwd* entry = ::getpwuid(::geteuid());
  return entry != nullptr ? entry->pw_name : std::to_string(::geteuid());
}

// A socket bound to `port` as another program would bind it; -1 on failure.
int Bind(int family, const char* address, quint16 port, bool reuse) {
  const int fd = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  if (reuse) {
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  }
  sockaddr_storage storage{};
  socklen_t length = 0;
  if (family == AF_INET) {
    auto& local = reinterpret_cast<sockaddr_in&>(storage);
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    ::inet_pton(AF_INET, address, &local.sin_addr);
    length = sizeof local;
  } else {
    auto& local = reinterpret_cast<sockaddr_in6&>(storage);
    local.sin6_family = AF_INET6;
    local.sin6_port = htons(port);
    ::inet_pton(AF_INET6, address, &local.sin6_addr);
    length = sizeof local;
  }
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&storage), length) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// The name the claim of earlier versions bound: anyone could take it first.
int BindOldClaimName() {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string name = "orvane-commentator/udp/29105+29104";
  name.copy(address.sun_path + 1, sizeof address.sun_path - 1);
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::set<unsigned long long> InodesOn(quint16 port) {
  std::set<unsigned long long> inodes;
  for (const UdpSocketEntry& entry : SocketsSharingPort(port)) {
    inodes.insert(entry.inode);
  }
  return inodes;
}

// Only a socket that would share a port's datagrams with our receivers
// refuses a claim, and the claim names its port and its process. A refused
// claim leaves no socket of its own on the ports.
TEST(PortClaim, RefusedOnlyByASocketThatSharesAPortAndNamesIt) {
  if (!InsidePrivateNamespace({QStringLiteral("--net")})) {
    return;
  }
  constexpr ListenerPorts ports = kRealPorts;
  struct Row {
    const char* holds;
    std::function<int()> hold;
    quint16 refused_on;  // 0: the claim holds
  };
  const Row rows[] = {
      {"nothing", [] { return -2; }, 0},
      {"the abstract name of the old claim", [] { return BindOldClaimName(); }, 0},
      {"the first port without address reuse (our receiver stays closed)",
       [] { return Bind(AF_INET, "0.0.0.0", 29105, false); }, 0},
      {"the first port, any address, with reuse",
       [] { return Bind(AF_INET, "0.0.0.0", 29105, true); }, 29105},
      {"the first port on 127.0.0.1 with reuse",
       [] { return Bind(AF_INET, "127.0.0.1", 29105, true); }, 29105},
      {"the second port, dual-stack IPv6 any address, with reuse",
       [] { return Bind(AF_INET6, "::", 29104, true); }, 29104},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.holds);
    const int holder = row.hold();
    ASSERT_NE(holder, -1);
    const std::set<unsigned long long> first_before = InodesOn(ports.first);
    const std::set<unsigned long long> second_before = InodesOn(ports.second);
    {
      PortClaim claim(ports);
      EXPECT_EQ(claim.Held(), row.refused_on == 0);
      if (!claim.Held()) {
        EXPECT_EQ(claim.Holder().port, row.refused_on);
        EXPECT_EQ(claim.Holder().owner.pid, ::getpid());
        EXPECT_EQ(claim.Holder().owner.program, "single_copy_test");
        EXPECT_EQ(claim.Holder().owner.user, UserName());
        EXPECT_EQ(InodesOn(ports.first), first_before);
        EXPECT_EQ(InodesOn(ports.second), second_before);
      }
      claim.Release();
      EXPECT_EQ(InodesOn(ports.first), first_before);
      EXPECT_EQ(InodesOn(ports.second), second_before);
    }
    if (holder >= 0) {
      ::close(holder);
    }
  }

  // Another claim holds the pair until it is released.
  PortClaim first(ports);
  ASSERT_TRUE(first.Held());
  EXPECT_FALSE(PortClaim(ports).Held());
  EXPECT_EQ(PortClaim(ports).Holder().owner.pid, ::getpid());
  first.Release();
  EXPECT_TRUE(PortClaim(ports).Held());
}

// Copies that claim in the same moment, whoever they are: exactly one holds.
TEST(PortClaim, OfTwoClaimsTakenAtOnceExactlyOneHolds) {
  if (!InsidePrivateNamespace({QStringLiteral("--net")})) {
    return;
  }
  constexpr int kRounds = 40;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::unique_ptr<PortClaim> claims[2];
    std::atomic<int> ready = 0;
    std::vector<std::thread> copies;
    for (auto& claim : claims) {
      copies.emplace_back([&claim, &ready] {
        ++ready;
        while (ready.load() < 2) {
        }
        claim = std::make_unique<PortClaim>(kRealPorts);
      });
    }
    for (std::thread& copy : copies) {
      copy.join();
    }
    EXPECT_NE(claims[0]->Held(), claims[1]->Held());
    // The one that holds has exactly one socket on each port.
    EXPECT_EQ(InodesOn(kRealPorts.first).size(), 1u);
    EXPECT_EQ(InodesOn(kRealPorts.second).size(), 1u);
  }
}

TEST(PortClaim, MessageNamesThePortAndWhatTheSystemTellsOfTheHolder) {
  const QString end = QStringLiteral(
      ", which would share the race data with this screen.\nThis copy will end now; use the "
      "screen that is already running, or end that program first.");
  EXPECT_EQ(
      PortInUseMessage({29105, {4242, "orvane-commentator", "alice"}}),
      "UDP port 29105 is already in use by orvane-commentator (process 4242, user alice)" + end);
  EXPECT_EQ(PortInUseMessage({29104, {4242, "", "1001"}}),
            "UDP port 29104 is already in use by a program (process 4242, user 1001)" + end);
  EXPECT_EQ(PortInUseMessage({7, {0, "", "bob"}}),
            "UDP port 7 is already in use by a program of user bob" + end);
}

// --- The error box and the termination signals, in this process ------------------

// The box comes up in front of every window; a termination signal while it
// is up inside the event loop closes it and ends the loop in order.
TEST(ErrorBox, InFrontAndClosedByASignalDuringTheEventLoop) {
  // In a child process of its own: the signal handling stays installed.
  if (!InsidePrivateNamespace({QStringLiteral("--net")})) {
    return;
  }
  SetErrorSink({});
  QuitOnTerminationSignals();
  QWidget screen;
  screen.setWindowFlag(Qt::WindowStaysOnTopHint);
  screen.show();
  bool box_in_front = false;
  bool box_closed = false;
  bool rescued = false;
  QTimer look;
  look.setSingleShot(true);
  QObject::connect(&look, &QTimer::timeout, [&] {
    const QWidget* box = QApplication::activeModalWidget();
    box_in_front = box != nullptr && box->isVisible() && box->isActiveWindow() &&
                   box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    ::kill(::getpid(), SIGTERM);
  });
  QTimer rescue;
  rescue.setSingleShot(true);
  QObject::connect(&rescue, &QTimer::timeout, [&] {
    // Only when the signal failed to close the box.
    if (QWidget* box = QApplication::activeModalWidget()) {
      rescued = true;
      box->close();
    }
    QApplication::exit(3);
  });
  QTimer::singleShot(0, [&] {
    look.start(100);
    rescue.start(5000);
    ReportError(QStringLiteral("a message"));
    box_closed = true;
  });
  EXPECT_EQ(RunEventLoop(), 0);
  EXPECT_TRUE(box_in_front);
  EXPECT_TRUE(box_closed);
  EXPECT_FALSE(rescued);
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
             std::function<void()> prepare = {}, const QStringList& arguments = {}) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_dir);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(work_dir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (prepare) {
      process.setChildProcessModifier(std::move(prepare));
    }
    process.start(binary_, arguments);
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

// Sends to the first port until the copy recording into `record` has taken
// a datagram in: its receivers are bound, and its start-up over.
bool ReceivesOnFirstPort(const QString& record) {
  QFile file(record);
  return WaitFor(
      [&] {
        SendDatagram(kRealPorts.first, "ready");
        return (file.isOpen() || file.open(QIODevice::ReadOnly)) &&
               (file.seek(0), file.readAll().contains("ready"));
      },
      20000);
}

// Collects what the program writes until `text` appears; `meanwhile` runs
// about every millisecond.
bool WaitForOutput(QProcess& process, QByteArray& seen, const QByteArray& text, int timeout_ms,
                   const std::function<void()>& meanwhile = {}) {
  QElapsedTimer clock;
  clock.start();
  while (!seen.contains(text) && clock.elapsed() < timeout_ms) {
    process.waitForReadyRead(meanwhile ? 1 : 50);
    if (meanwhile) {
      meanwhile();
    }
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
// and never binds the ports, not even for a moment; once the first is gone,
// the next copy starts.
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
  const QString record = QDir(first_work->path()).filePath(QStringLiteral("session.txt"));
  program.Start(first, first_work->path(), first_runtime->path(), {},
                {QStringLiteral("--record"), record});
  ASSERT_TRUE(first.waitForStarted());
  ASSERT_TRUE(ReceivesOnFirstPort(record)) << first.readAll().toStdString();
  ASSERT_TRUE(ServesBothPorts(first.processId()));

  struct Second {
    const char* who;
    Account account;
    SocketOwner first_as_seen;  // another user may not see the first's process
  };
  const SocketOwner first_in_full{static_cast<long>(first.processId()), "orvane-commentator",
                                  "root"};
  std::vector<Second> seconds = {
      {"the same user with another runtime directory", root, first_in_full}};
  if (const passwd* nobody = ::getpwnam("nobody"); nobody != nullptr && InsideAsRealRoot()) {
    seconds.push_back({"another user (nobody)", {nobody->pw_uid, nobody->pw_gid}, {0, "", "root"}});
  } else {
    std::printf("note: only real root can start a copy as another user; that case is left out\n");
  }
  for (const Second& second_copy : seconds) {
    SCOPED_TRACE(second_copy.who);
    const QByteArray message =
        PortInUseMessage({kRealPorts.first, second_copy.first_as_seen}).toLocal8Bit();
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
    int looks = 0;
    EXPECT_TRUE(WaitForOutput(second, said, message, 20000, [&] {
      ++looks;
      EXPECT_TRUE(ServesBothPorts(first.processId())) << "look " << looks;
    })) << said.toStdString();
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

  // Killed, the first copy leaves no claim behind; and a name anyone may bind,
  // the one the claim of earlier versions used, stops nobody.
  Stop(first, SIGKILL);
  const int squatter = BindOldClaimName();
  ASSERT_GE(squatter, 0);
  QProcess next;
  program.Start(next, first_work->path(), first_runtime->path());
  EXPECT_TRUE(WaitFor([&] { return ServesBothPorts(next.processId()); }, 20000))
      << next.readAll().toStdString();
  Stop(next, SIGTERM);
  EXPECT_EQ(next.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(next.exitCode(), 0);
  ::close(squatter);
}

// Two copies started in the same moment, by two users: one serves the ports
// alone and the other ends with the message.
TEST(OneCopyPerMachine, OfTwoCopiesStartedAtOnceByTwoUsersExactlyOneServes) {
  if (!InsidePrivateNamespace({QStringLiteral("--net")})) {
    return;
  }
  const passwd* nobody = ::getpwnam("nobody");
  if (nobody == nullptr || !InsideAsRealRoot()) {
    SkipFromInside("only real root can start a copy as another user");
  }
  const Program program;
  ASSERT_TRUE(program.Ready());
  const Account accounts[2] = {{}, {nobody->pw_uid, nobody->pw_gid}};
  constexpr int kRounds = 3;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::unique_ptr<QTemporaryDir> directories[2][2];
    QProcess copies[2];
    for (int copy = 0; copy < 2; ++copy) {
      const Account account = accounts[copy];
      directories[copy][0] = DirectoryFor(account);
      directories[copy][1] = DirectoryFor(account);
      program.Start(
          copies[copy], directories[copy][0]->path(), directories[copy][1]->path(), [account] {
            if (account.uid != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(account.gid) != 0 ||
                                     ::setuid(account.uid) != 0)) {
              ::_exit(126);
            }
          });
    }
    QByteArray said[2];
    int refused = -1;
    ASSERT_TRUE(WaitFor(
        [&] {
          for (int copy = 0; copy < 2; ++copy) {
            copies[copy].waitForReadyRead(5);
            said[copy] += copies[copy].readAll();
            if (said[copy].contains("is already in use by")) {
              refused = copy;
            }
          }
          return refused >= 0;
        },
        20000))
        << said[0].toStdString() << said[1].toStdString();
    const QProcess& serving = copies[1 - refused];
    EXPECT_TRUE(WaitFor([&] { return ServesBothPorts(serving.processId()); }, 20000));
    EXPECT_EQ(copies[refused].state(), QProcess::Running) << "its message box is up";
    for (const std::string& socket : SocketsOf(copies[refused].processId())) {
      EXPECT_EQ(UdpSocketsOn(kRealPorts.first).count(socket), 0u);
      EXPECT_EQ(UdpSocketsOn(kRealPorts.second).count(socket), 0u);
    }
    for (QProcess& copy : copies) {
      Stop(copy, SIGKILL);
    }
  }
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

// A program that shares a port (socat, dual-stack, with address reuse) is
// named, and the copy with its message up ends at once on each termination
// signal, by that signal.
TEST(OneCopyPerMachine, ARefusedCopyNamesTheProgramAndEndsAtOnceOnASignal) {
  if (!InsidePrivateNamespace({QStringLiteral("--net")})) {
    return;
  }
  const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
  if (socat.isEmpty()) {
    SkipFromInside("socat is missing");
  }
  QProcess holder;
  holder.start(
      socat, {QStringLiteral("-u"), QStringLiteral("UDP6-RECV:%1,reuseaddr").arg(kRealPorts.second),
              QStringLiteral("/dev/null")});
  ASSERT_TRUE(holder.waitForStarted());
  ASSERT_TRUE(WaitFor([] { return !SocketsSharingPort(kRealPorts.second).empty(); }, 5000));
  const QByteArray message =
      PortInUseMessage(
          {kRealPorts.second, {static_cast<long>(holder.processId()), "socat", UserName()}})
          .toLocal8Bit();

  const Program program;
  ASSERT_TRUE(program.Ready());
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(::strsignal(signal_number));
    const QTemporaryDir work;
    const QTemporaryDir runtime;
    QProcess screen;
    program.Start(screen, work.path(), runtime.path());
    ASSERT_TRUE(screen.waitForStarted());
    QByteArray said;
    ASSERT_TRUE(WaitForOutput(screen, said, message, 20000)) << said.toStdString();
    EXPECT_TRUE(InodesOn(kRealPorts.first).empty());
    ::kill(static_cast<pid_t>(screen.processId()), signal_number);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(screen.waitForFinished(5000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(screen.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(screen.exitCode(), signal_number);
    Stop(screen, SIGKILL);
  }
  holder.kill();
  holder.waitForFinished();
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
    // Its message box is up; a second signal ends the program at once.
    ::kill(static_cast<pid_t>(screen.processId()), SIGTERM);
    EXPECT_TRUE(screen.waitForFinished(2000));
    EXPECT_EQ(screen.exitStatus(), QProcess::CrashExit);
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
