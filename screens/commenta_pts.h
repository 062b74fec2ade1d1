#pragma once

#include <QWidget>

class Tptsrace_commentator_form : public QWidget {
  Q_OBJECT

 public:
  explicit Tptsrace_commentator_form(const QWidget* main_window);

 private:
  const QWidget* main_window_;
};
