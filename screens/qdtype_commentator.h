// The QD Type commentator window: eight lines of free text in large type,
// filled by quick-text records. Closing it only hides it.
#pragma once

#include <QWidget>

class ChildAnchoring;
class TextList;

class Tqdtype_commentator_form : public QWidget {
  Q_OBJECT

 public:
  explicit Tqdtype_commentator_form(const QWidget* main_window);

  TextList* listbox1;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  const QWidget* main_window_;
  bool placed_ = false;
};
