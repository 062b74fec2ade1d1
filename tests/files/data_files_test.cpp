// commentator.dat and qdtype.dat: what start-up reads and creates, what a
// save leaves on disk when it works and when it fails, and that nothing but
// a regular file is ever opened or replaced.
#include "app/listening_address.h"
#include "app/qdtype_file.h"
#include "private_namespace.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QLabel>

#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace {

QByteArray Local(const QString& path) {
  return path.toLocal8Bit();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

void LinkTo(const QString& target, const QString& path) {
  ASSERT_EQ(::symlink(Local(target).constData(), Local(path).constData()), 0);
}

void MakePipe(const QString& path) {
  ASSERT_EQ(::mkfifo(Local(path).constData(), 0644), 0);
}

// What lies at `path`, link not followed, with a file's content.
std::string Describe(const QString& path) {
  struct stat info {};
  if (::lstat(Local(path).constData(), &info) != 0) {
    return "nothing";
  }
  if (S_ISLNK(info.st_mode)) {
    const QString target = QFile::symLinkTarget(path);
    return "link to " + (QFileInfo::exists(path) ? Describe(target) : std::string("nothing"));
  }
  if (S_ISDIR(info.st_mode)) {
    return "directory";
  }
  if (S_ISFIFO(info.st_mode)) {
    return "pipe";
  }
  if (S_ISCHR(info.st_mode)) {
    return "character device";
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return "unreadable file";
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    return "unreadable file";
  }
  if (bytes.size() > 64 && bytes.count('\0') == bytes.size()) {
    return "file of " + std::to_string(bytes.size()) + " zero bytes";
  }
  return "file " + bytes.toStdString();
}

// A file-size limit of 0 for the life of the object, as under `ulimit -f 0`
// with SIGXFSZ ignored: every write to a file fails with EFBIG.
class FileSizeLimit {
 public:
  FileSizeLimit() {
    ::getrlimit(RLIMIT_FSIZE, &saved_limit_);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit none{0, saved_limit_.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &none);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_limit_);
    std::signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit saved_limit_{};
  void (*old_handler_)(int) = nullptr;
};

using Make = std::function<void(const QString& path)>;

const Make kNothing = [](const QString&) {};
const Make kOldAddress = [](const QString& path) { WriteFile(path, "10.0.0.5\r\n"); };
const Make kDirectory = [](const QString& path) { ASSERT_TRUE(QDir().mkdir(path)); };
const Make kPipe = MakePipe;
const Make kDanglingLink = [](const QString& path) {
  LinkTo(QFileInfo(path).dir().filePath(QStringLiteral("elsewhere")), path);
};
const Make kLinkLoop = [](const QString& path) { LinkTo(path, path); };

// --- commentator.dat read at start-up ---------------------------------------------

struct LoadCase {
  const char* name;
  Make make;
  std::string address;
  QStringList errors;  // reported while the main window is shown
  std::string after_end;
};

void PrintTo(const LoadCase& c, std::ostream* out) {
  *out << c.name;
}

class SettingsLoadTest : public ::testing::TestWithParam<LoadCase> {};

// The file as found at start-up decides the address and its label; the
// orderly end writes the address back wherever a file may be written.
TEST_P(SettingsLoadTest, ReadAtShowingAndWrittenAtTheEnd) {
  const LoadCase& c = GetParam();
  ErrorRecorder errors;
  CommentatorFixture fixture(/*show_main_window=*/false);
  const QString path = QDir(fixture.WorkDir()).filePath(kSettingsFileName);
  c.make(path);
  fixture.App().ShowMainWindow();
  EXPECT_EQ(fixture.App().Address().Text(), c.address);
  QString label = QStringLiteral("IP Listening Address = ") + QString::fromLatin1(c.address);
  if (c.address == "255.255.255.255") {
    label += QStringLiteral(" (ALL)");
  }
  EXPECT_EQ(Find<QLabel>(fixture.Main(), "Label3").text(), label);
  EXPECT_EQ(errors.messages.join('\n'), c.errors.join('\n'));
  errors.messages.clear();
  fixture.End();
  EXPECT_EQ(Describe(path), c.after_end);
  EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join("; ").toStdString();
}

Make Holding(const QByteArray& bytes) {
  return [bytes](const QString& path) { WriteFile(path, bytes); };
}

const std::string k255(255, '7');

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsLoadTest,
    ::testing::Values(
        LoadCase{"missing", kNothing, "255.255.255.255", {}, "file 255.255.255.255\r\n"},
        LoadCase{"empty", Holding(""), "", {}, "file \r\n"},
        LoadCase{"empty_first_line", Holding("\r\n10.0.0.5\r\n"), "", {}, "file \r\n"},
        LoadCase{"crlf", Holding("10.0.0.5\r\n"), "10.0.0.5", {}, "file 10.0.0.5\r\n"},
        LoadCase{"no_line_end", Holding("10.0.0.5"), "10.0.0.5", {}, "file 10.0.0.5\r\n"},
        LoadCase{"several_lines",
                 Holding("10.0.0.5\n10.0.0.6\r\n"),
                 "10.0.0.5",
                 {},
                 "file 10.0.0.5\r\n"},
        LoadCase{"blank_kept", Holding("10.0.0.5 \r\n"), "10.0.0.5 ", {}, "file 10.0.0.5 \r\n"},
        LoadCase{"line_of_300",
                 Holding(QByteArray(300, '7') + "\r\n"),
                 k255,
                 {},
                 "file " + k255 + "\r\n"},
        // Not a regular file: cannot be opened, so the default, silently,
        // and nothing is written over it. A pipe would block an open.
        LoadCase{"directory", kDirectory, "255.255.255.255", {}, "directory"},
        LoadCase{"pipe", kPipe, "255.255.255.255", {}, "pipe"},
        LoadCase{"dangling_link", kDanglingLink, "255.255.255.255", {}, "link to nothing"},
        LoadCase{"link_loop", kLinkLoop, "255.255.255.255", {}, "link to nothing"},
        LoadCase{"link_to_a_device",
                 [](const QString& path) { LinkTo("/dev/zero", path); },
                 "255.255.255.255",
                 {},
                 "link to character device"},
        // A regular file whose every read fails; its directory takes no new
        // file, so the end writes nothing, silently.
        LoadCase{"read_error",
                 [](const QString& path) { LinkTo("/proc/self/mem", path); },
                 "255.255.255.255",
                 {"commentator.dat: Input/output error"},
                 "link to unreadable file"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FirstStart, QdtypeFileAtStartUpAndTheSettingsFileOnlyAtTheEnd) {
  CommentatorFixture fixture;
  const QDir dir(fixture.WorkDir());
  EXPECT_EQ(Describe(dir.filePath(kQdtypeFileName)), "file of 31000 zero bytes");
  EXPECT_EQ(Describe(dir.filePath(kSettingsFileName)), "nothing");
  fixture.End();
  EXPECT_EQ(Describe(dir.filePath(kSettingsFileName)), "file 255.255.255.255\r\n");
}

// --- Saving and creating ----------------------------------------------------------

struct WriteCase {
  const char* name;
  Make make;
  bool size_limit;
  std::string after;
  const char* error;  // reported as "FILE: error"; nullptr for silence
};

void PrintTo(const WriteCase& c, std::ostream* out) {
  *out << c.name;
}

// Runs `write` on `file_name` in a fresh directory set up by the case, and
// checks what is on disk afterwards and what was said.
void CheckWrite(const WriteCase& c, const char* file_name,
                const std::function<void(const char* path)>& write) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QString::fromLatin1(file_name));
  c.make(path);
  ErrorRecorder errors;
  {
    const QByteArray name = Local(path);
    if (c.size_limit) {
      const FileSizeLimit limit;
      write(name.constData());
    } else {
      write(name.constData());
    }
  }
  EXPECT_EQ(Describe(path), c.after);
  const QStringList expected =
      c.error != nullptr ? QStringList{path + QStringLiteral(": ") + QString::fromLatin1(c.error)}
                         : QStringList{};
  EXPECT_EQ(errors.messages.join('\n'), expected.join('\n'));
  // Never a file beside it: no temporary one left, nothing created through a link.
  QStringList names =
      QDir(dir.path())
          .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
  names.removeAll(QString::fromLatin1(file_name));
  names.removeAll(QStringLiteral("target"));
  EXPECT_TRUE(names.isEmpty()) << names.join(' ').toStdString();
}

const Make kLinkToAFile = [](const QString& path) {
  WriteFile(QFileInfo(path).dir().filePath(QStringLiteral("target")), "10.0.0.5\r\n");
  LinkTo(QStringLiteral("target"), path);
};
const Make kLinkToFullDevice = [](const QString& path) { LinkTo("/dev/full", path); };

class SettingsSaveTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(SettingsSaveTest, OldFileStaysUnlessTheNewOneIsWhole) {
  ListeningAddress address;
  address.SetText("10.0.0.9");
  CheckWrite(GetParam(), kSettingsFileName, [&](const char* path) { address.Save(path); });
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsSaveTest,
    ::testing::Values(
        WriteCase{"replaces_a_file", kOldAddress, false, "file 10.0.0.9\r\n", nullptr},
        WriteCase{"creates_a_missing_file", kNothing, false, "file 10.0.0.9\r\n", nullptr},
        WriteCase{"writes_through_a_link_and_keeps_it", kLinkToAFile, false,
                  "link to file 10.0.0.9\r\n", nullptr},
        WriteCase{"file_size_limit", kOldAddress, true, "file 10.0.0.5\r\n", "File too large"},
        WriteCase{"file_size_limit_on_a_new_file", kNothing, true, "nothing", "File too large"},
        WriteCase{"directory", kDirectory, false, "directory", nullptr},
        WriteCase{"pipe", kPipe, false, "pipe", nullptr},
        WriteCase{"dangling_link", kDanglingLink, false, "link to nothing", nullptr},
        WriteCase{"link_loop", kLinkLoop, false, "link to nothing", nullptr},
        WriteCase{"link_to_a_device", kLinkToFullDevice, false, "link to character device",
                  nullptr}),
    [](const auto& row) { return std::string(row.param.name); });

class QdtypeFileTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(QdtypeFileTest, CreatedWholeOrNotAtAllAndAnythingThereIsLeftAlone) {
  CheckWrite(GetParam(), kQdtypeFileName, [](const char* path) { EnsureQdtypeFile(path); });
}

INSTANTIATE_TEST_SUITE_P(
    Files, QdtypeFileTest,
    ::testing::Values(
        WriteCase{"created_when_missing", kNothing, false, "file of 31000 zero bytes", nullptr},
        WriteCase{"existing_file", [](const QString& path) { WriteFile(path, "frames"); }, false,
                  "file frames", nullptr},
        WriteCase{"empty_file", [](const QString& path) { WriteFile(path, ""); }, false, "file ",
                  nullptr},
        WriteCase{"file_without_permissions",
                  [](const QString& path) {
                    WriteFile(path, "frames");
                    ASSERT_TRUE(QFile::setPermissions(path, {}));
                  },
                  false, ::geteuid() == 0 ? "file frames" : "unreadable file", nullptr},
        WriteCase{"file_size_limit", kNothing, true, "nothing", "File too large"},
        WriteCase{"directory", kDirectory, false, "directory", nullptr},
        WriteCase{"pipe", kPipe, false, "pipe", nullptr},
        WriteCase{"dangling_link", kDanglingLink, false, "link to nothing", nullptr},
        WriteCase{"link_to_a_device", kLinkToFullDevice, false, "link to character device",
                  nullptr}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DataFiles, NewFilesAre0644LessTheUmaskAndAReplacedOneKeepsModeAndOwner) {
  QTemporaryDir dir;
  const QByteArray settings = Local(dir.filePath(kSettingsFileName));
  const QByteArray frames = Local(dir.filePath(kQdtypeFileName));
  const auto mode = [](const QByteArray& path) {
    struct stat info {};
    ::stat(path.constData(), &info);
    return info.st_mode & 07777;
  };
  ListeningAddress address;
  const mode_t saved_umask = ::umask(0);
  address.Save(settings.constData());
  EnsureQdtypeFile(frames.constData());
  EXPECT_EQ(mode(settings), 0644u);
  EXPECT_EQ(mode(frames), 0644u);
  ASSERT_EQ(::unlink(settings.constData()), 0);
  ::umask(027);
  address.Save(settings.constData());
  ::umask(saved_umask);
  EXPECT_EQ(mode(settings), 0640u);

  ASSERT_EQ(::chmod(settings.constData(), 0600), 0);
  const passwd* nobody = ::getpwnam("nobody");
  const bool give_away = ::geteuid() == 0 && nobody != nullptr;
  if (give_away) {
    ASSERT_EQ(::chown(settings.constData(), nobody->pw_uid, nobody->pw_gid), 0);
  }
  address.SetText("10.0.0.9");
  address.Save(settings.constData());
  EXPECT_EQ(Describe(dir.filePath(kSettingsFileName)), "file 10.0.0.9\r\n");
  EXPECT_EQ(mode(settings), 0600u);
  if (give_away) {
    struct stat info {};
    ::stat(settings.constData(), &info);
    EXPECT_EQ(info.st_uid, nobody->pw_uid) << "a copy started by root took the file over";
  }
}

// Permission bits do not stop root. As root the file system sees this thread
// as "nobody" for the object's life, which also drops root's overrides of
// permission bits and ownership.
class FileSystemUser {
 public:
  explicit FileSystemUser(const QString& directory) {
    if (::geteuid() != 0) {
      return;
    }
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
      ADD_FAILURE() << "root needs the user nobody to meet permission bits";
      return;
    }
    EXPECT_EQ(::chown(Local(directory).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    ::setfsgid(nobody->pw_gid);
    ::setfsuid(nobody->pw_uid);
    switched_ = true;
  }
  ~FileSystemUser() {
    if (switched_) {
      ::setfsuid(0);
      ::setfsgid(0);
    }
  }
  FileSystemUser(const FileSystemUser&) = delete;
  FileSystemUser& operator=(const FileSystemUser&) = delete;

 private:
  bool switched_ = false;
};

TEST(DataFiles, PermissionsThatForbidReadingOrWritingAreSilent) {
  QTemporaryDir dir;
  const FileSystemUser user(dir.path());
  const QString path = dir.filePath(kSettingsFileName);
  const QByteArray name = Local(path);
  WriteFile(path, "10.0.0.5\r\n");
  ErrorRecorder errors;
  ListeningAddress address;
  ASSERT_EQ(::chmod(name.constData(), 0444), 0);
  address.Load(name.constData());
  EXPECT_EQ(address.Text(), "10.0.0.5");
  address.SetText("10.0.0.9");
  address.Save(name.constData());
  EXPECT_EQ(Describe(path), "file 10.0.0.5\r\n") << "a write-protected file was replaced";
  ASSERT_EQ(::chmod(name.constData(), 0000), 0);
  address.Load(name.constData());
  EXPECT_EQ(address.Text(), "255.255.255.255");
  ASSERT_EQ(::chmod(name.constData(), 0644), 0);
  // A directory that takes no new file.
  ASSERT_EQ(::chmod(Local(dir.path()).constData(), 0555), 0);
  address.Save(name.constData());
  EnsureQdtypeFile(Local(dir.filePath(kQdtypeFileName)).constData());
  ASSERT_EQ(::chmod(Local(dir.path()).constData(), 0755), 0);
  EXPECT_EQ(Describe(path), "file 10.0.0.5\r\n");
  EXPECT_EQ(Describe(dir.filePath(kQdtypeFileName)), "nothing");
  EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join("; ").toStdString();
}

// A tmpfs of 64 KiB over a fresh directory, for the life of the object.
class SmallDisk {
 public:
  SmallDisk() : root_(Local(directory_.path())) {
    if (::mount("tmpfs", root_.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0) {
      SkipFromInside("a tmpfs cannot be mounted here");
    }
  }
  ~SmallDisk() { ::umount(root_.constData()); }
  QString Path() const { return directory_.path(); }
  bool Remount(unsigned long flags) {
    return ::mount(nullptr, root_.constData(), nullptr, MS_REMOUNT | flags, nullptr) == 0;
  }

 private:
  QTemporaryDir directory_;
  QByteArray root_;
};

// A small disk of our own, in a private mount namespace: read-only, then full.
TEST(DataFiles, ReadOnlyAndFullDisk) {
  if (!InsidePrivateNamespace({QStringLiteral("--mount")})) {
    return;
  }
  SmallDisk disk;
  const QDir dir(disk.Path());
  const QString settings_path = dir.filePath(kSettingsFileName);
  const QString frames_path = dir.filePath(kQdtypeFileName);
  const QByteArray settings = Local(settings_path);
  const QByteArray frames = Local(frames_path);
  ErrorRecorder errors;
  ListeningAddress address;
  address.SetText("10.0.0.5");
  address.Save(settings.constData());

  // Read-only: read, but neither written nor created, and nothing said.
  ASSERT_TRUE(disk.Remount(MS_RDONLY)) << std::strerror(errno);
  address.SetText("");
  address.Load(settings.constData());
  EXPECT_EQ(address.Text(), "10.0.0.5");
  address.SetText("10.0.0.9");
  address.Save(settings.constData());
  EnsureQdtypeFile(frames.constData());
  EXPECT_EQ(Describe(settings_path), "file 10.0.0.5\r\n");
  EXPECT_EQ(Describe(frames_path), "nothing");
  EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join("; ").toStdString();

  // Full: both failures said with the file's name; the old settings stay and
  // no partial frames file is left.
  ASSERT_TRUE(disk.Remount(0)) << std::strerror(errno);
  {
    QFile filler(dir.filePath(QStringLiteral("filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'f');
    for (int blocks = 0; blocks < 1000 && filler.write(block) == block.size(); ++blocks) {
    }
  }
  address.Save(settings.constData());
  EnsureQdtypeFile(frames.constData());
  EXPECT_EQ(errors.messages.join('\n'), settings_path + ": No space left on device\n" +
                                            frames_path + ": No space left on device");
  EXPECT_EQ(Describe(settings_path), "file 10.0.0.5\r\n");
  EXPECT_EQ(Describe(frames_path), "nothing");

  errors.messages.clear();
  ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("filler"))));
  EnsureQdtypeFile(frames.constData());
  EXPECT_EQ(Describe(frames_path), "file of 31000 zero bytes");
  EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join("; ").toStdString();
}

}  // namespace
