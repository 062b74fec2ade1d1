#pragma once

#include <QWidget>

class Tcommentator_scratch : public QWidget {
  Q_OBJECT

 public:
  explicit Tcommentator_scratch(const QWidget* main_window);

 private:
  const QWidget* main_window_;
};
