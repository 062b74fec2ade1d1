#pragma once

#include <QWidget>

class Tsprintr_commentator_form : public QWidget {
  Q_OBJECT

 public:
  explicit Tsprintr_commentator_form(const QWidget* main_window);

 private:
  const QWidget* main_window_;
};
