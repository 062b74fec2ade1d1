// The floor for start-up time: a bare Qt window of the main window's size,
// shown as soon as the event loop runs. Ends on SIGTERM.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Bench bare window"));
  window.resize(812, 656);
  window.show();
  return QApplication::exec();
}
