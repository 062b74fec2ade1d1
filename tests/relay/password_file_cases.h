// Password files of each kind a --password-file may name, and what a command
// line must make of each: shared by the screen's and race-feed's tests, so
// both command lines answer the same table. Standard library and POSIX only.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

class PasswordFiles {
 public:
  PasswordFiles() {
    char dir[] = "/tmp/orvane-password-XXXXXX";
    if (mkdtemp(dir) != nullptr) {
      dir_ = dir;
    }
    Write("private", "s3cret\n", 0600);
    Write("shared", "s3cret\n", 0644);
    mkfifo(Path("fifo").c_str(), 0600);  // nobody ever writes to it
  }
  ~PasswordFiles() {
    if (!dir_.empty()) {
      [[maybe_unused]] const int status = std::system(("rm -rf '" + dir_ + "'").c_str());
    }
  }
  PasswordFiles(const PasswordFiles&) = delete;
  PasswordFiles& operator=(const PasswordFiles&) = delete;

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // `name` in the directory, holding `text`, with exactly `mode`.
  std::string Write(const std::string& name, const std::string& text, mode_t mode) const {
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    chmod(path.c_str(), mode);
    return path;
  }

 private:
  std::string dir_;
};

struct PasswordFileCase {
  std::string what;
  std::string file;  // empty: no --password-file
  std::string broker;
  bool allow_plain = false;
  std::string error;  // a part of the one-line message; empty: accepted
};

inline std::vector<PasswordFileCase> PasswordFileCases(const PasswordFiles& files) {
  const std::string shared = files.Path("shared");
  return {
      {"owner alone, mqtts", files.Path("private"), "mqtts://venue@broker.example", false, ""},
      {"readable by others", shared, "mqtts://venue@broker.example", false,
       "password file " + shared + " is readable by others: chmod 600 " + shared},
      {"a device that never ends", "/dev/zero", "mqtts://venue@broker.example", false,
       "password file /dev/zero is not a regular file"},
      {"a FIFO nobody writes to", files.Path("fifo"), "mqtts://venue@broker.example", false,
       "is not a regular file"},
      {"missing", files.Path("missing"), "mqtts://venue@broker.example", false,
       "cannot read password file " + files.Path("missing") + ": No such file or directory"},
      {"plain mqtt", files.Path("private"), "mqtt://venue@broker.example", false,
       "--password-file with mqtt:// sends the password in clear: use mqtts://, or give "
       "--allow-plain-password"},
      {"plain mqtt, allowed", files.Path("private"), "mqtt://venue@broker.example", true, ""},
      {"allowed over mqtts", files.Path("private"), "mqtts://venue@broker.example", true, ""},
      {"allowed without a password", "", "mqtt://venue@broker.example", true,
       "--allow-plain-password goes with --password-file"},
  };
}
