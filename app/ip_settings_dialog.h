// The IP Settings dialog: edits the listening address. OK (or Enter) accepts;
// the close box cancels; Escape does nothing.
#pragma once

#include <QDialog>

#include <optional>
#include <string>

class QGroupBox;
class QLineEdit;
class QPushButton;
class WindowFrame;

class IpSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit IpSettingsDialog(QWidget* parent = nullptr);

  void SetAddressText(const std::string& address);
  std::string AddressText() const;

 protected:
  // Shown again where it last stood.
  void setVisible(bool visible) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  WindowFrame* frame_;
  std::optional<QPoint> last_place_;
  QGroupBox* address_box_;
  QLineEdit* address_field_;
  QPushButton* all_senders_button_;
  QPushButton* ok_button_;
};
