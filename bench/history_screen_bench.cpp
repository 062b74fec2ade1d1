// History on the program's own screens (every window, the main window
// shown, offscreen): jumps to random moments with the screens repainted,
// and "Live" after records came in meanwhile (the screens put back and
// the records taken through the screens' own rules and windows). Prints
// KEY=value lines.
//
//   QT_QPA_PLATFORM=offscreen history_screen_bench [BEFORE [MEANWHILE [JUMPS]]]
#include "app/commentator_app.h"
#include "app/history_mode.h"
#include "app/main_window.h"
#include "bench/percentile.h"
#include "session_generator.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const long before = argc > 1 ? std::atol(argv[1]) : 1'000'000;
  const long meanwhile = argc > 2 ? std::atol(argv[2]) : 10'000;
  const int jumps = argc > 3 ? std::atoi(argv[3]) : 300;

  CommentatorApp app(ListenerPorts{0, 0});
  app.ShowMainWindow();
  QApplication::processEvents();
  SessionGenerator generator(21);
  for (long i = 0; i < before; ++i) {
    const GeneratedDatagram d = generator.Next();
    app.Listener().Take(d.receiver, d.sender, d.bytes);
    if (i % 10'000 == 0) {
      QApplication::processEvents();
    }
  }
  QApplication::processEvents();

  HistoryMode& history = app.History();
  const Clock::time_point enter_start = Clock::now();
  history.Enter();
  QApplication::processEvents();
  const double enter_ms = Ms(Clock::now() - enter_start);

  std::mt19937 random(5);
  std::uniform_int_distribution<std::uint64_t> pick(history.History().Begin(),
                                                    history.History().End());
  std::vector<double> jump_ms;
  for (int i = 0; i < jumps; ++i) {
    const std::uint64_t moment = pick(random);
    const Clock::time_point start = Clock::now();
    history.ShowMoment(moment);
    QApplication::processEvents();  // the repaint of what changed
    jump_ms.push_back(Ms(Clock::now() - start));
  }

  for (long i = 0; i < meanwhile; ++i) {
    const GeneratedDatagram d = generator.Next();
    app.Listener().Take(d.receiver, d.sender, d.bytes);
  }
  const Clock::time_point live_start = Clock::now();
  history.Leave();
  QApplication::processEvents();
  const double live_ms = Ms(Clock::now() - live_start);

  std::printf("begin=%llu end=%llu\n", static_cast<unsigned long long>(history.History().Begin()),
              static_cast<unsigned long long>(history.History().End()));
  std::printf("before=%ld kept=%llu\n", before,
              static_cast<unsigned long long>(history.History().End() - history.History().Begin()));
  std::printf("enter_ms=%.2f\n", enter_ms);
  std::printf(
      "screen_jumps=%d screen_jump_ms_p50=%.2f screen_jump_ms_p99=%.2f "
      "screen_jump_ms_max=%.2f\n",
      jumps, Percentile(jump_ms, 0.5), Percentile(jump_ms, 0.99),
      *std::max_element(jump_ms.begin(), jump_ms.end()));
  std::printf("meanwhile=%ld live_ms=%.2f\n", meanwhile, live_ms);
  return 0;
}
