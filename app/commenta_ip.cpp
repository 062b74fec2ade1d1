#include "app/commenta_ip.h"

#include "app/globals.h"
#include "platform/windows.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

namespace {

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

Tip_listening_address_form::Tip_listening_address_form(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ip_listening_address_form"));
  setWindowTitle(QStringLiteral("IP Settings"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::CustomizeWindowHint);
  setFont(DesignFont(Face::kMsSansSerif, 11));
  SetBackground(this, QColor(255, 255, 0));
  SetOuterSize(this, QSize(466, 221));

  GroupBox1 = new QGroupBox(QStringLiteral("Listening Address"), this);
  GroupBox1->setGeometry(100, 28, 273, 101);
  SetBackground(GroupBox1, QColor(166, 202, 240));

  Edit1 = new QLineEdit(GroupBox1);
  Edit1->setGeometry(24, 20, 225, 32);
  Edit1->setFont(DesignFont(Face::kMsSansSerif, 19, true));
  Edit1->setAccessibleName(QStringLiteral("Listening address"));
  QPalette field = Edit1->palette();
  field.setColor(QPalette::Base, Qt::white);
  Edit1->setPalette(field);

  BitBtn2 = new QPushButton(QStringLiteral("Listen to All Senders"), GroupBox1);
  BitBtn2->setGeometry(36, 68, 197, 25);
  BitBtn2->setAutoDefault(false);
  connect(BitBtn2, &QPushButton::clicked, this, &Tip_listening_address_form::BitBtn2Click);

  BitBtn1 = new QPushButton(CheckMarkIcon(), QStringLiteral("OK"), this);
  BitBtn1->setGeometry(16, 140, 75, 41);
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void Tip_listening_address_form::SetAddressText(const std::string& address) {
  Edit1->setText(QString::fromLatin1(address.data(), static_cast<qsizetype>(address.size())));
}

std::string Tip_listening_address_form::AddressText() const {
  const QByteArray bytes = Edit1->text().toLatin1();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void Tip_listening_address_form::BitBtn2Click() {
  Edit1->setText(QString::fromLatin1(globals::kAllSenders.data(),
                                     static_cast<qsizetype>(globals::kAllSenders.size())));
}

void Tip_listening_address_form::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void Tip_listening_address_form::FormShow() {
  Edit1->setFocus();
  Edit1->selectAll();
}

void Tip_listening_address_form::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();  // the dialog ends only with OK or its close box
    return;
  }
  QDialog::keyPressEvent(event);
}
