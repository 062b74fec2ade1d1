#include "private_network.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string_view>
#include <thread>

HelperRun RunHelper(const std::vector<std::string>& prefix, const std::string& test,
                    const std::string& role, std::chrono::seconds timeout) {
  char self[4096] = {};
  int pipe_fds[2];
  if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0 || pipe2(pipe_fds, O_CLOEXEC) != 0) {
    return {};
  }
  std::vector<std::string> args = prefix;
  args.push_back(self);
  // Helpers are disabled tests: a plain run of the executable leaves them out.
  args.push_back("--gtest_also_run_disabled_tests");
  args.push_back("--gtest_filter=" + test);
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  // The environment is made before fork(): the child of a process with
  // threads only execs.
  std::string variable = std::string(kHelperVariable) + "=" + role;
  std::vector<char*> environment{variable.data()};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!std::string_view(*entry).starts_with(std::string(kHelperVariable) + "=")) {
      environment.push_back(*entry);
    }
  }
  environment.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], STDOUT_FILENO);
    execvpe(argv[0], argv.data(), environment.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  fcntl(pipe_fds[0], F_SETFL, O_NONBLOCK);
  HelperRun run;
  const auto end = std::chrono::steady_clock::now() + timeout;
  char buffer[4096];
  while (std::chrono::steady_clock::now() < end) {
    const ssize_t got = read(pipe_fds[0], buffer, sizeof buffer);
    if (got > 0) {
      run.out.append(buffer, static_cast<std::size_t>(got));
      continue;
    }
    int status = 0;
    if (got == 0 && waitpid(pid, &status, 0) == pid) {
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (run.status < 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  close(pipe_fds[0]);
  return run;
}

std::string HelperRole() {
  const char* role = std::getenv(kHelperVariable);
  return role == nullptr ? "" : role;
}

std::string Field(const std::string& out, const std::string& name) {
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(name + "=")) {
      return line.substr(name.size() + 1);
    }
  }
  return "";
}

bool PrivateNetworksWork() {
  return std::system("unshare -Urmn true >/dev/null 2>&1") == 0;
}

namespace {

bool Failed(const std::string& step, std::string& error) {
  error = step + ": " + std::strerror(errno);
  return false;
}

}  // namespace

bool BringLoopbackUp(std::string& error) {
  const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq loopback{};
  std::strcpy(loopback.ifr_name, "lo");
  const bool up = ioctl(control, SIOCGIFFLAGS, &loopback) == 0 &&
                  (loopback.ifr_flags |= IFF_UP, ioctl(control, SIOCSIFFLAGS, &loopback) == 0);
  const int saved = errno;
  close(control);
  errno = saved;
  return up || Failed("bringing loopback up", error);
}

bool ReplaceFile(const std::string& path, const std::string& content, std::string& error) {
  char temporary[] = "/tmp/orvane-file-XXXXXX";
  const int fd = mkstemp(temporary);
  const bool written =
      fd >= 0 && write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  if (fd >= 0) {
    close(fd);
  }
  if (!written) {
    return Failed("writing the file for " + path, error);
  }
  // Private mounts: the bind mount stays in this namespace.
  const bool mounted = mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                       mount(temporary, path.c_str(), nullptr, MS_BIND, nullptr) == 0;
  const int saved = errno;
  unlink(temporary);
  errno = saved;
  return mounted || Failed("mounting over " + path, error);
}

bool MakeTheNameServerDead(std::string& error) {
  if (!BringLoopbackUp(error)) {
    return false;
  }
  // Kept open for the rest of the process: it takes the queries.
  const int dead = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(53);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(dead, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return Failed("binding 127.0.0.1:53", error);
  }
  return ReplaceFile("/etc/resolv.conf", "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n",
                     error);
}
