// A real mosquitto for the relay tests: started on a free loopback port
// with a generated configuration, in a directory of its own that also
// holds the test's certificates and password files. Standard library and
// POSIX only.
#pragma once

#include <sys/types.h>

#include <string>

class BrokerProcess {
 public:
  struct Setup {
    bool tls = false;  // TLS with a server certificate signed by CaFile()
    std::string user;  // with a password: no anonymous clients
    std::string password;
    bool persistence = true;  // sessions and the retained snapshot survive a restart
  };

  BrokerProcess();
  explicit BrokerProcess(Setup setup);
  ~BrokerProcess();
  BrokerProcess(const BrokerProcess&) = delete;
  BrokerProcess& operator=(const BrokerProcess&) = delete;

  // On the same port every time; false, with Error() set, when it does not
  // listen within a few seconds.
  bool Start();
  // SIGTERM and wait: a broker that ends in order saves its sessions.
  void Stop();
  bool Running() const { return pid_ > 0; }
  const std::string& Error() const { return error_; }

  int Port() const { return port_; }
  // "mqtt://127.0.0.1:PORT", or mqtts:// with TLS; `user` before the host.
  std::string Url(const std::string& user = "") const;
  std::string CaFile() const { return dir_ + "/ca.crt"; }
  // A CA that signed nothing the broker shows.
  std::string OtherCaFile() const { return dir_ + "/other-ca.crt"; }
  // A file holding `password`, for --password-file.
  std::string PasswordFile(const std::string& password) const;
  const std::string& Dir() const { return dir_; }

 private:
  bool WriteConfig();
  bool MakeCertificates();

  Setup setup_;
  std::string dir_;
  int port_ = 0;
  pid_t pid_ = -1;
  std::string error_;
};

// A UDP or TCP port nobody listens on now (bound to port 0, then let go).
int FreePort(int type);
