#include "private_namespace.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

constexpr const char* kInsideVariable = "ORVANE_PRIVATE_NAMESPACE";
constexpr int kCannotSetUp = 77;

bool BringLoopbackUp() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return false;
  }
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  if (up) {
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    up = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  }
  ::close(fd);
  return up;
}

void Skip(const std::string& reason) {
  GTEST_SKIP() << reason;
}

}  // namespace

bool InsideAsRealRoot() {
  const char* inside = std::getenv(kInsideVariable);
  return inside != nullptr && std::strcmp(inside, "root") == 0;
}

void SkipFromInside(const char* reason) {
  std::fprintf(stderr, "private namespace: %s\n", reason);
  std::fflush(stderr);
  ::_exit(kCannotSetUp);
}

bool InsidePrivateNamespace(const QStringList& namespaces) {
  if (std::getenv(kInsideVariable) != nullptr) {
    if (namespaces.contains(QStringLiteral("--net")) && !BringLoopbackUp()) {
      SkipFromInside("the loopback interface cannot be brought up");
    }
    return true;
  }
  const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
  if (unshare.isEmpty()) {
    Skip("unshare (util-linux) is missing");
    return false;
  }
  const bool root = ::geteuid() == 0;
  const QStringList options =
      root ? namespaces : QStringList{QStringLiteral("--map-root-user")} + namespaces;
  QProcess probe;
  probe.start(unshare, options + QStringList{QStringLiteral("--"), QStringLiteral("true")});
  if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
      probe.exitCode() != 0) {
    Skip("no private namespace (unshare " + options.join(' ').toStdString() + ") can be made here");
    return false;
  }
  const ::testing::TestInfo& test = *::testing::UnitTest::GetInstance()->current_test_info();
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(kInsideVariable, root ? QStringLiteral("root") : QStringLiteral("mapped"));
  QProcess child;
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(
      unshare,
      options +
          QStringList{
              QStringLiteral("--"), QCoreApplication::applicationFilePath(),
              QStringLiteral("--gtest_filter=%1.%2").arg(test.test_suite_name(), test.name())});
  if (!child.waitForFinished(240000)) {
    child.kill();
    child.waitForFinished();
    ADD_FAILURE() << "the test in its private namespace did not end";
    return false;
  }
  if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == kCannotSetUp) {
    Skip("it cannot be set up in a private namespace here (see its output above)");
    return false;
  }
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 0) << "see the output of the test in its namespace above";
  return false;
}
