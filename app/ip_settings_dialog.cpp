#include "app/ip_settings_dialog.h"

#include "app/listening_address.h"
#include "platform/fonts.h"
#include "platform/window_frame.h"
#include "platform/windows.h"
#include "screens/shown_text.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace {

constexpr QSize kOuterSize(466, 221);

QIcon CheckMarkIcon() {
  QPixmap picture(18, 18);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(0, 140, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.drawPolyline(QPolygonF({QPointF(3, 9), QPointF(7, 14), QPointF(15, 4)}));
  return QIcon(picture);
}

}  // namespace

IpSettingsDialog::IpSettingsDialog(QWidget* parent)
    : QDialog(parent), frame_(new WindowFrame(this)) {
  setObjectName(QStringLiteral("ip_listening_address_form"));
  setWindowTitle(QStringLiteral("IP Settings"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::CustomizeWindowHint);
  setFont(DesignFont(Face::kMsSansSerif, 11));
  SetBackground(this, QColor(255, 255, 0));
  frame_->SetOuterSize(kOuterSize);

  address_box_ = new QGroupBox(QStringLiteral("Listening Address"), this);
  address_box_->setObjectName(QStringLiteral("GroupBox1"));
  address_box_->setGeometry(100, 28, 273, 101);
  SetBackground(address_box_, QColor(166, 202, 240));

  address_field_ = new QLineEdit(address_box_);
  address_field_->setObjectName(QStringLiteral("Edit1"));
  address_field_->setGeometry(24, 20, 225, 32);
  address_field_->setFont(DesignFont(Face::kMsSansSerif, 19, true));
  address_field_->setAccessibleName(QStringLiteral("Listening address"));
  QPalette field = address_field_->palette();
  field.setColor(QPalette::Base, Qt::white);
  address_field_->setPalette(field);

  all_senders_button_ = new QPushButton(QStringLiteral("Listen to All Senders"), address_box_);
  all_senders_button_->setObjectName(QStringLiteral("BitBtn2"));
  all_senders_button_->setGeometry(36, 68, 197, 25);
  all_senders_button_->setAutoDefault(false);
  connect(all_senders_button_, &QPushButton::clicked, this,
          [this] { address_field_->setText(ShownText(ListeningAddress::kAllSenders)); });

  ok_button_ = new QPushButton(CheckMarkIcon(), QStringLiteral("OK"), this);
  ok_button_->setObjectName(QStringLiteral("BitBtn1"));
  ok_button_->setGeometry(16, 140, 75, 41);
  ok_button_->setDefault(true);
  connect(ok_button_, &QPushButton::clicked, this, &QDialog::accept);
}

void IpSettingsDialog::SetAddressText(const std::string& address) {
  address_field_->setText(ShownText(address));
}

std::string IpSettingsDialog::AddressText() const {
  const QByteArray bytes = address_field_->text().toLatin1();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void IpSettingsDialog::setVisible(bool visible) {
  if (!visible && isVisible()) {
    last_place_ = pos();
  } else if (visible && !isVisible() && last_place_) {
    frame_->SetOuterGeometry(QRect(*last_place_, kOuterSize));
  }
  QDialog::setVisible(visible);
}

void IpSettingsDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  address_field_->setFocus();
  address_field_->selectAll();
}

void IpSettingsDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();  // the dialog ends only with OK or its close box
    return;
  }
  QDialog::keyPressEvent(event);
}
