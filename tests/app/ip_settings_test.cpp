// The IP Settings dialog: what OK, Enter, Escape and the close box do, that
// the listener keeps running while it is open, and its layout.
#include "app/ip_settings_dialog.h"
#include "app/listening_address.h"
#include "support/test_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class IpSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { fixture.App().Address().SetText("10.0.0.5"); }

  IpSettingsDialog& Dialog() { return fixture.App().IpSettings(); }
  QLineEdit& Field() { return Find<QLineEdit>(Dialog(), "Edit1"); }
  QPushButton& Ok() { return Find<QPushButton>(Dialog(), "BitBtn1"); }
  QPushButton& AllSenders() { return Find<QPushButton>(Dialog(), "BitBtn2"); }
  std::string Address() { return fixture.App().Address().Text(); }
  QString AddressLabel() { return Find<QLabel>(fixture.Main(), "Label3").text(); }
  QByteArray SettingsFile() {
    return ReadFile(QDir(fixture.WorkDir()).filePath("commentator.dat"));
  }

  // Opens the dialog from the menu and runs `steps` once its modal loop runs.
  void WhileDialogOpen(const std::function<void()>& steps) {
    QTimer::singleShot(0, &Dialog(), [this, steps] {
      EXPECT_TRUE(Dialog().isVisible());
      steps();
    });
    fixture.Main().EditListeningAddress();
    EXPECT_FALSE(Dialog().isVisible());
  }

  CommentatorFixture fixture;
};

TEST_F(IpSettingsTest, OkStoresTheTypedTextUnchangedSavesAndShowsIt) {
  WhileDialogOpen([this] {
    EXPECT_EQ(Field().text(), "10.0.0.5");
    EXPECT_EQ(Field().selectedText(), "10.0.0.5");
    EXPECT_EQ(Dialog().focusWidget(), &Field());
    Field().setText("10.0.0.9 ");
    Ok().click();
  });
  EXPECT_EQ(Address(), "10.0.0.9 ");
  EXPECT_EQ(SettingsFile(), QByteArray("10.0.0.9 \r\n"));
  EXPECT_EQ(AddressLabel(), "IP Listening Address = 10.0.0.9 ");
}

TEST_F(IpSettingsTest, EnterInTheFieldPressesOkAndEscapeDoesNotClose) {
  WhileDialogOpen([this] {
    PressKey(&Field(), Qt::Key_Escape);
    EXPECT_TRUE(Dialog().isVisible());
    AllSenders().click();
    PressKey(&Field(), Qt::Key_Return);
  });
  EXPECT_EQ(Address(), "255.255.255.255");
  EXPECT_EQ(AddressLabel(), "IP Listening Address = 255.255.255.255 (ALL)");
}

TEST_F(IpSettingsTest, CloseBoxCancelsEvenAfterListenToAllSenders) {
  WhileDialogOpen([this] {
    AllSenders().click();
    EXPECT_EQ(Field().text(), "255.255.255.255");
    Dialog().close();
  });
  EXPECT_EQ(Address(), "10.0.0.5");
  EXPECT_EQ(SettingsFile(), QByteArray("<missing>"));

  // The next opening shows the address in use, not the text left behind.
  WhileDialogOpen([this] {
    EXPECT_EQ(Field().text(), "10.0.0.5");
    Dialog().close();
  });
}

TEST_F(IpSettingsTest, OkWithAnUnchangedAddressStillWritesTheFile) {
  WhileDialogOpen([this] { Ok().click(); });
  EXPECT_EQ(SettingsFile(), QByteArray("10.0.0.5\r\n"));
}

TEST_F(IpSettingsTest, ListenerKeepsRunningWhileTheDialogIsOpen) {
  fixture.App().Address().SetText("255.255.255.255");
  WhileDialogOpen([this] {
    SendDatagram(fixture.Port2(), "during");
    EXPECT_TRUE(WaitUntil([this] { return fixture.Main().TrafficLinesAdded() == 1; }));
    Dialog().close();
  });
  EXPECT_EQ(fixture.Log(), std::vector<std::string>({"127.0.0.1>during"}));
}

TEST_F(IpSettingsTest, ScreensBroughtForwardMeanwhileWaitBehindItAndComeForwardAfter) {
  WhileDialogOpen([&] {
    // Two records for two screens; the later one is in front once the
    // dialog has closed, and until then the dialog keeps the keyboard.
    fixture.Dispatch("{scratch}+{title}Heat 1");
    fixture.Dispatch("{tt}+{standings}0{rnk}1{name}A");
    Settle();
    EXPECT_EQ(QApplication::activeModalWidget(), &Dialog());
    EXPECT_EQ(QApplication::activeWindow(), &Dialog());
    Ok().click();
  });
  EXPECT_TRUE(WaitUntil([] {
    return QApplication::activeWindow() != nullptr &&
           QApplication::activeWindow()->objectName() == "tt_commentator_form";
  })) << "the screen updated last comes to the front";
}

TEST_F(IpSettingsTest, ComesBackWhereItLastStood) {
  QPoint moved_to;
  WhileDialogOpen([&] {
    Dialog().move(Dialog().pos() + QPoint(37, 21));
    Settle();
    moved_to = Dialog().pos();
    Dialog().close();
  });
  WhileDialogOpen([&] {
    EXPECT_EQ(Dialog().pos(), moved_to);
    Dialog().close();
  });
}

TEST_F(IpSettingsTest, LayoutAndLook) {
  EXPECT_EQ(Dialog().windowTitle(), "IP Settings");
  EXPECT_EQ(Dialog().palette().color(QPalette::Window), QColor(255, 255, 0));
  const QGroupBox& box = Find<QGroupBox>(Dialog(), "GroupBox1");
  EXPECT_EQ(box.title(), "Listening Address");
  EXPECT_EQ(box.geometry(), QRect(100, 28, 273, 101));
  EXPECT_EQ(Field().geometry(), QRect(24, 20, 225, 32));
  EXPECT_EQ(AllSenders().text(), "Listen to All Senders");
  EXPECT_EQ(Ok().text(), "OK");
  EXPECT_TRUE(Ok().isDefault());
  EXPECT_FALSE(Dialog().windowFlags() &
               (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(Dialog().windowFlags() & Qt::WindowCloseButtonHint);
}

}  // namespace
