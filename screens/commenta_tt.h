#pragma once

#include <QWidget>

class Ttt_commentator_form : public QWidget {
  Q_OBJECT

 public:
  explicit Ttt_commentator_form(const QWidget* main_window);

 private:
  const QWidget* main_window_;
};
