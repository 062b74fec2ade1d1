// The IP Settings dialog: edits the listening address. OK (or Enter) accepts;
// the close box cancels; Escape does nothing.
#pragma once

#include <QDialog>

#include <string>

class QGroupBox;
class QLineEdit;
class QPushButton;

class Tip_listening_address_form : public QDialog {
  Q_OBJECT

 public:
  explicit Tip_listening_address_form(QWidget* parent = nullptr);

  void SetAddressText(const std::string& address);
  std::string AddressText() const;

  void BitBtn2Click();

  QGroupBox* GroupBox1;
  QLineEdit* Edit1;
  QPushButton* BitBtn2;
  QPushButton* BitBtn1;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FormShow();
};
