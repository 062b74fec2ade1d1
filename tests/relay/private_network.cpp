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

bool MakeTheNameServerDead(std::string& error) {
  auto failed = [&](const std::string& step) {
    error = step + ": " + std::strerror(errno);
    return false;
  };
  const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq loopback{};
  std::strcpy(loopback.ifr_name, "lo");
  if (ioctl(control, SIOCGIFFLAGS, &loopback) != 0) {
    return failed("reading loopback's flags");
  }
  loopback.ifr_flags |= IFF_UP;
  if (ioctl(control, SIOCSIFFLAGS, &loopback) != 0) {
    return failed("bringing loopback up");
  }
  close(control);
  // Kept open for the rest of the process: it takes the queries.
  const int dead = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(53);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(dead, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return failed("binding 127.0.0.1:53");
  }
  char resolv[] = "/tmp/orvane-resolv-XXXXXX";
  const int fd = mkstemp(resolv);
  const std::string config = "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n";
  const bool written =
      fd >= 0 && write(fd, config.data(), config.size()) == static_cast<ssize_t>(config.size());
  if (fd >= 0) {
    close(fd);
  }
  if (!written) {
    return failed("writing a resolv.conf");
  }
  // Private mounts: the bind mount stays in this namespace.
  const bool mounted = mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                       mount(resolv, "/etc/resolv.conf", nullptr, MS_BIND, nullptr) == 0;
  const int mount_errno = errno;
  unlink(resolv);
  if (!mounted) {
    errno = mount_errno;
    return failed("mounting over /etc/resolv.conf");
  }
  return true;
}
