#include "broker_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

bool Run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool Listening(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

}  // namespace

int FreePort(int type) {
  const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

BrokerProcess::BrokerProcess() : BrokerProcess(Setup{}) {}

BrokerProcess::BrokerProcess(Setup setup) : setup_(std::move(setup)) {
  char dir[] = "/tmp/orvane-broker-XXXXXX";
  if (mkdtemp(dir) != nullptr) {
    dir_ = dir;
  }
  port_ = FreePort(SOCK_STREAM);
  if (dir_.empty() || port_ == 0) {
    error_ = "no directory or port for the broker";
  } else if (!MakeCertificates() || !WriteConfig()) {
    error_ = error_.empty() ? "cannot write the broker's configuration in " + dir_ : error_;
  }
}

BrokerProcess::~BrokerProcess() {
  Stop();
  if (!dir_.empty()) {
    Run("rm -rf '" + dir_ + "'");
  }
}

std::string BrokerProcess::Url(const std::string& user) const {
  return std::string(setup_.tls ? "mqtts://" : "mqtt://") + (user.empty() ? "" : user + "@") +
         "127.0.0.1:" + std::to_string(port_);
}

std::string BrokerProcess::PasswordFile(const std::string& password) const {
  static int count = 0;
  const std::string path = dir_ + "/password-" + std::to_string(++count);
  std::ofstream(path) << password << '\n';
  chmod(path.c_str(), 0600);  // the relay refuses a password file others can read
  return path;
}

bool BrokerProcess::MakeCertificates() {
  if (!setup_.tls) {
    return true;
  }
  // Elliptic-curve keys: quick to make, for a certificate that lives a day.
  const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1";
  const std::string in = "cd '" + dir_ + "' && openssl ";
  std::ofstream(dir_ + "/san.cnf") << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
  const bool made =
      Run(in + "req -x509" + key + " -keyout ca.key -out ca.crt -subj '/CN=Orvane test CA'") &&
      Run(in + "req -x509" + key +
          " -keyout other-ca.key -out other-ca.crt -subj '/CN=Other CA'") &&
      Run(in + "req" + key + " -keyout server.key -out server.csr -subj '/CN=localhost'") &&
      Run(in +
          "x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 1 "
          "-extfile san.cnf -out server.crt");
  if (!made) {
    error_ = "openssl could not make the test certificates (is openssl installed?)";
  }
  return made;
}

bool BrokerProcess::WriteConfig() {
  std::ofstream config(dir_ + "/mosquitto.conf");
  // Run as whoever runs the test, so the files here stay readable.
  const passwd* user = getpwuid(geteuid());
  config << "user " << (user != nullptr ? user->pw_name : "root") << "\n"
         << "listener " << port_ << " 127.0.0.1\n"
         << "set_tcp_nodelay true\n"
         << "max_queued_messages 200000\n"
         << "persistence " << (setup_.persistence ? "true" : "false") << "\n"
         << "persistence_location " << dir_ << "/\n";
  if (setup_.user.empty()) {
    config << "allow_anonymous true\n";
  } else {
    if (!Run("mosquitto_passwd -b -c '" + dir_ + "/passwords' '" + setup_.user + "' '" +
             setup_.password + "'")) {
      error_ = "mosquitto_passwd failed (is mosquitto installed?)";
      return false;
    }
    config << "allow_anonymous false\n"
           << "password_file " << dir_ << "/passwords\n";
  }
  if (setup_.tls) {
    config << "cafile " << dir_ << "/ca.crt\n"
           << "certfile " << dir_ << "/server.crt\n"
           << "keyfile " << dir_ << "/server.key\n";
  }
  return static_cast<bool>(config);
}

bool BrokerProcess::Start() {
  if (!error_.empty()) {
    return false;
  }
  Stop();
  const std::string config = dir_ + "/mosquitto.conf";
  const std::string log = dir_ + "/mosquitto.log";
  pid_ = fork();
  if (pid_ == 0) {
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    execlp("mosquitto", "mosquitto", "-c", config.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (Listening(port_)) {
      return true;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      error_ = "mosquitto ended at once (is it installed?); see " + log;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  error_ = "mosquitto does not listen on port " + std::to_string(port_) + "; see " + log;
  Stop();
  return false;
}

void BrokerProcess::Stop() {
  if (pid_ <= 0) {
    return;
  }
  kill(pid_, SIGTERM);
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}
