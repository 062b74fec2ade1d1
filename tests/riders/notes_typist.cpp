// A commentator who never stops typing, for the notes test to kill: every
// few milliseconds one of four notes gets a new text, and only then the
// line "COUNTER BIB MONOTONIC_NS" goes to stdout, so the test knows what
// had been typed, and when, at the moment it killed the program.
//   notes_typist NOTES_FILE FIRST_COUNTER
#include "riders/notes_store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) {
    return 2;
  }
  NotesStore store(QString::fromLocal8Bit(argv[1]));
  if (!store.Load()) {
    std::fprintf(stderr, "%s\n", store.Problem().toLocal8Bit().constData());
    return 1;
  }
  long long counter = std::stoll(argv[2]);
  QTimer typing;
  QObject::connect(&typing, &QTimer::timeout, [&] {
    ++counter;
    const QString bib = QString::number(counter % 4 + 1);
    store.SetText(bib, QStringLiteral("typed %1\n%2").arg(counter).arg(QString(counter % 300, 'x')),
                  QStringLiteral("desk"), QDateTime::currentMSecsSinceEpoch());
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::string line = std::to_string(counter) + " " + bib.toStdString() + " " +
                             std::to_string(now.tv_sec * 1000000000LL + now.tv_nsec) + "\n";
    if (write(STDOUT_FILENO, line.data(), line.size()) < 0) {
      QCoreApplication::exit(3);
    }
  });
  typing.start(7);
  return QCoreApplication::exec();
}
