// The listening address across runs, the IP Settings dialog, the data files
// and the orderly end of the program.
#include "app/commenta_ip.h"
#include "app/data_files.h"
#include "app/globals.h"
#include "app/single_instance.h"
#include "platform/application.h"
#include "platform/text_list.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <csignal>
#include <stdexcept>

#include <gtest/gtest.h>

namespace {

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

struct LoadCase {
  const char* name;
  QByteArray content;  // "<missing>" for no file
  std::string address;
  QString label;
};

class SettingsLoadTest : public ::testing::TestWithParam<LoadCase> {};

// The file as found at start-up decides the address, the label, and what the
// orderly end writes back.
TEST_P(SettingsLoadTest, LoadShowAndSaveAtTheEnd) {
  const LoadCase& c = GetParam();
  QTemporaryDir dir;
  QDir::setCurrent(dir.path());
  if (c.content != "<missing>") {
    WriteFile(dir.filePath("commentator.dat"), c.content);
  }
  {
    CommentatorFixture fixture(/*show_main_window=*/false);
    QDir::setCurrent(dir.path());
    fixture.windows->ShowMainWindow();
    EXPECT_EQ(globals::listening_address, c.address);
    EXPECT_EQ(fixture.Main().Label3->text(), c.label);
    fixture.End();
  }
  EXPECT_EQ(ReadFile(dir.filePath("commentator.dat")),
            QByteArray::fromStdString(c.address) + "\r\n");
}

const std::string k255(255, '7');

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsLoadTest,
    ::testing::Values(
        LoadCase{"missing", "<missing>", "255.255.255.255",
                 "IP Listening Address = 255.255.255.255 (ALL)"},
        LoadCase{"empty", "", "", "IP Listening Address = "},
        LoadCase{"empty_first_line", "\r\n10.0.0.5\r\n", "", "IP Listening Address = "},
        LoadCase{"crlf", "10.0.0.5\r\n", "10.0.0.5", "IP Listening Address = 10.0.0.5"},
        LoadCase{"lf_only_no_end", "10.0.0.5", "10.0.0.5", "IP Listening Address = 10.0.0.5"},
        LoadCase{"several_lines", "10.0.0.5\n10.0.0.6\r\n", "10.0.0.5",
                 "IP Listening Address = 10.0.0.5"},
        LoadCase{"blank_kept", "10.0.0.5 \r\n", "10.0.0.5 ", "IP Listening Address = 10.0.0.5 "},
        LoadCase{"line_of_300", QByteArray(300, '7') + "\r\n", k255,
                 "IP Listening Address = " + QString::fromStdString(k255)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsFile, DirectoryReadsAsDefaultAndIsNotWritten) {
  QTemporaryDir dir;
  const QByteArray path = dir.filePath("commentator.dat").toLocal8Bit();
  QDir().mkdir(dir.filePath("commentator.dat"));
  ErrorRecorder errors;
  EXPECT_EQ(ReadListeningAddress(path.constData()), "255.255.255.255");
  WriteListeningAddress(path.constData(), "10.0.0.5");
  EXPECT_TRUE(errors.messages.isEmpty());
}

TEST(SettingsFile, WriteErrorOnAnOpenFileIsReportedInTheSystemsWords) {
  ErrorRecorder errors;
  WriteListeningAddress("/dev/full", "10.0.0.5");
  EXPECT_EQ(errors.messages, QStringList({QStringLiteral("No space left on device")}));
}

TEST(QdtypeFile, CreatedAsZerosWhenMissingAndOtherwiseUntouched) {
  QTemporaryDir dir;
  const QByteArray path = dir.filePath("qdtype.dat").toLocal8Bit();
  EnsureQdtypeFile(path.constData());
  EXPECT_EQ(ReadFile(dir.filePath("qdtype.dat")), QByteArray(31000, '\0'));

  WriteFile(dir.filePath("qdtype.dat"), "frames");
  EnsureQdtypeFile(path.constData());
  EXPECT_EQ(ReadFile(dir.filePath("qdtype.dat")), QByteArray("frames"));
}

TEST(QdtypeFile, StartUpCreatesItAndASettingsFileOnlyAtTheEnd) {
  CommentatorFixture fixture;
  const QDir dir(fixture.WorkDir());
  EXPECT_EQ(QFileInfo(dir.filePath("qdtype.dat")).size(), 31000);
  EXPECT_FALSE(dir.exists("commentator.dat"));
  fixture.End();
  EXPECT_EQ(ReadFile(dir.filePath("commentator.dat")), QByteArray("255.255.255.255\r\n"));
}

// --- The IP Settings dialog -------------------------------------------------

// Runs `steps` against the open dialog once its modal loop runs.
void WhileDialogOpen(Tip_listening_address_form* dialog, std::function<void()> steps) {
  QTimer::singleShot(0, dialog, [dialog, steps] {
    EXPECT_TRUE(dialog->isVisible());
    steps();
  });
}

void PressKey(QWidget* target, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &release);
}

class IpSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { globals::listening_address = "10.0.0.5"; }
  Tip_listening_address_form* Dialog() { return fixture.windows->ip_listening_address_form.get(); }
  QString SettingsFile() { return QDir(fixture.WorkDir()).filePath("commentator.dat"); }

  CommentatorFixture fixture;
};

TEST_F(IpSettingsTest, OkStoresTheTypedTextUnchangedSavesAndShowsIt) {
  WhileDialogOpen(Dialog(), [this] {
    EXPECT_EQ(Dialog()->Edit1->text(), "10.0.0.5");
    EXPECT_EQ(Dialog()->Edit1->selectedText(), "10.0.0.5");
    Dialog()->Edit1->setText("10.0.0.9 ");
    Dialog()->BitBtn1->click();
  });
  fixture.Main().IPSettings1Click();
  EXPECT_EQ(globals::listening_address, "10.0.0.9 ");
  EXPECT_EQ(ReadFile(SettingsFile()), QByteArray("10.0.0.9 \r\n"));
  EXPECT_EQ(fixture.Main().Label3->text(), "IP Listening Address = 10.0.0.9 ");
}

TEST_F(IpSettingsTest, EnterInTheFieldPressesOkAndEscapeDoesNotClose) {
  WhileDialogOpen(Dialog(), [this] {
    PressKey(Dialog()->Edit1, Qt::Key_Escape);
    EXPECT_TRUE(Dialog()->isVisible());
    Dialog()->BitBtn2->click();
    PressKey(Dialog()->Edit1, Qt::Key_Return);
  });
  fixture.Main().IPSettings1Click();
  EXPECT_EQ(globals::listening_address, "255.255.255.255");
  EXPECT_EQ(fixture.Main().Label3->text(), "IP Listening Address = 255.255.255.255 (ALL)");
}

TEST_F(IpSettingsTest, CloseBoxCancelsEvenAfterListenToAllSenders) {
  WhileDialogOpen(Dialog(), [this] {
    Dialog()->BitBtn2->click();
    EXPECT_EQ(Dialog()->Edit1->text(), "255.255.255.255");
    Dialog()->close();
  });
  fixture.Main().IPSettings1Click();
  EXPECT_EQ(globals::listening_address, "10.0.0.5");
  EXPECT_FALSE(QFile::exists(SettingsFile()));

  // The next opening shows the address in use, not the text left behind.
  WhileDialogOpen(Dialog(), [this] {
    EXPECT_EQ(Dialog()->Edit1->text(), "10.0.0.5");
    Dialog()->close();
  });
  fixture.Main().IPSettings1Click();
}

TEST_F(IpSettingsTest, OkWithAnUnchangedAddressStillWritesTheFile) {
  WhileDialogOpen(Dialog(), [this] { Dialog()->BitBtn1->click(); });
  fixture.Main().IPSettings1Click();
  EXPECT_EQ(ReadFile(SettingsFile()), QByteArray("10.0.0.5\r\n"));
}

TEST_F(IpSettingsTest, ListenerKeepsRunningWhileTheDialogIsOpen) {
  globals::listening_address = "255.255.255.255";
  WhileDialogOpen(Dialog(), [this] {
    SendDatagram(fixture.Port2(), "during");
    WaitUntil([this] { return fixture.Main().ListBox1->LineCount() == 1; });
    Dialog()->close();
  });
  fixture.Main().IPSettings1Click();
  EXPECT_EQ(fixture.Log(), std::vector<std::string>({"127.0.0.1>during"}));
}

TEST_F(IpSettingsTest, LayoutAndLook) {
  EXPECT_EQ(Dialog()->windowTitle(), "IP Settings");
  EXPECT_EQ(Dialog()->GroupBox1->title(), "Listening Address");
  EXPECT_EQ(Dialog()->BitBtn2->text(), "Listen to All Senders");
  EXPECT_EQ(Dialog()->BitBtn1->text(), "OK");
  EXPECT_TRUE(Dialog()->BitBtn1->isDefault());
  EXPECT_EQ(Dialog()->GroupBox1->geometry(), QRect(100, 28, 273, 101));
  EXPECT_EQ(Dialog()->Edit1->geometry(), QRect(24, 20, 225, 32));
}

// --- The end of the program -------------------------------------------------

TEST(OrderlyEnd, ExitCloseBoxAndTerminationSignalEachEndAndWriteTheSettings) {
  const std::vector<std::pair<const char*, std::function<void(Tcommentator0_form&)>>> ends = {
      {"exit", [](Tcommentator0_form& main) { main.Exit1->trigger(); }},
      {"close box", [](Tcommentator0_form& main) { main.close(); }},
      {"SIGTERM", [](Tcommentator0_form&) { std::raise(SIGTERM); }},
      {"SIGINT", [](Tcommentator0_form&) { std::raise(SIGINT); }},
  };
  QuitOnTerminationSignals();
  for (const auto& [name, end] : ends) {
    SCOPED_TRACE(name);
    CommentatorFixture fixture;
    Tcommentator0_form& main = fixture.Main();
    QTimer::singleShot(0, &main, [&main, end = end] { end(main); });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    watchdog.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    watchdog.stop();
    EXPECT_TRUE(main.isVisible()) << "the main window is hidden last, by the end itself";
    fixture.End();
    EXPECT_EQ(ReadFile(QDir(fixture.WorkDir()).filePath("commentator.dat")),
              QByteArray("255.255.255.255\r\n"));
  }
}

TEST(MainWindow, CaptionColoursAndLayout) {
  CommentatorFixture fixture;
  Tcommentator0_form& main = fixture.Main();
  EXPECT_EQ(main.windowTitle(), "Commentator Screen v2.09");
  EXPECT_EQ(globals::display_colours.background, QColor(0, 0, 0));
  EXPECT_EQ(globals::display_colours.text, QColor(255, 255, 255));
  EXPECT_EQ(globals::display_colours.heading, QColor(128, 0, 128));
  EXPECT_EQ(main.ListBox1->palette().color(QPalette::Base), QColor(0, 0, 0));
  EXPECT_EQ(main.ListBox1->palette().color(QPalette::Text), QColor(255, 255, 255));
  EXPECT_EQ(main.ListBox1->geometry(), QRect(8, 360, 785, 241));
  EXPECT_EQ(main.Label2->text(), "stand by until TCP/IP packets received.......");
  EXPECT_EQ(main.Image1->pixmap().size(), QSize(200, 224));
  EXPECT_EQ(main.size() + QSize(8, 27), QSize(812, 656));
}

class ThrowingObject : public QObject {
 protected:
  bool event(QEvent*) override { throw std::runtime_error("handler failed"); }
};

TEST(Errors, AnExceptionFromAHandlerIsShownAndTheLoopGoesOn) {
  ErrorRecorder errors;
  ThrowingObject object;
  QEvent event(QEvent::User);
  QCoreApplication::sendEvent(&object, &event);
  EXPECT_EQ(errors.messages, QStringList({QStringLiteral("handler failed")}));
}

}  // namespace

namespace {

TEST(SingleInstance, ASecondCopyIsTurnedAway) {
  QTemporaryDir dir;
  const std::string directory = dir.path().toStdString();
  {
    const InstanceLock first(directory);
    EXPECT_TRUE(first.Held());
    const InstanceLock second(directory);
    EXPECT_FALSE(second.Held());
  }
  const InstanceLock after_first_ended(directory);
  EXPECT_TRUE(after_first_ended.Held());
}

}  // namespace
