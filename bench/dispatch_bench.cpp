// Cost of DispatchRecord per record family, with every window of the program
// created and the main window shown, on the offscreen platform unless another
// is chosen. The records are race-feed's demo records of each family, so the
// screens are written as in a real evening. Scratch records let the event
// loop run inside, which includes any repaint that is due. Then the cost of
// one whole repaint of each control a record writes, which is what a record
// costs the event loop when records come slowly enough for each to be
// painted, and of creating every window as start-up does.
#include "app/commentator_app.h"
#include "app/main_window.h"
#include "platform/repaint_throttle.h"
#include "screens/points_race_screen.h"
#include "screens/quick_text_window.h"
#include "screens/scratch_screen.h"
#include "screens/sprint_screen.h"
#include "screens/time_trial_screen.h"
#include "tools/race_feed/demo.h"
#include "tools/race_feed/records.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

CommentatorApp* commentator = nullptr;

// The offscreen platform warns on every raise(); the program on a desktop
// does not, so the warnings are counted and kept out of the figures.
std::uint64_t qt_messages = 0;
void CountMessage(QtMsgType, const QMessageLogContext&, const QString&) {
  ++qt_messages;
}

struct FamilyCase {
  const char* name;
  race_feed::Family family;
};

constexpr FamilyCase kCases[] = {
    {"tt", race_feed::Family::kTimeTrial},    {"pts", race_feed::Family::kPointsRace},
    {"sprint", race_feed::Family::kSprint},   {"qdtype", race_feed::Family::kQuickText},
    {"scratch", race_feed::Family::kScratch}, {"heartbeat", race_feed::Family::kHeartbeat},
    {"mixed", race_feed::Family::kMixed},
};

void BM_DispatchRecord(benchmark::State& state, race_feed::Family family) {
  const std::vector<std::string> pool = race_feed::FloodPool(family);
  if (pool.empty()) {
    state.SkipWithError("no records of this family in the demo");
    return;
  }
  RecordDispatcher& dispatcher = commentator->Dispatcher();
  // Each family's screen is shown by its first record; that one-off cost
  // stays out of the figure.
  for (const std::string& record : pool) {
    dispatcher.DispatchRecord(record);
  }
  QApplication::processEvents();
  std::size_t next = 0;
  for (auto _ : state) {
    dispatcher.DispatchRecord(pool[next]);
    next = next + 1 == pool.size() ? 0 : next + 1;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["pool"] = static_cast<double>(pool.size());
  // Repaints that the records asked for happen here, outside the timing.
  QApplication::processEvents();
}

// The control named `name` in `window`; its viewport when it scrolls.
QWidget* Control(const QWidget& window, const char* name) {
  auto* control = window.findChild<QWidget*>(QString::fromLatin1(name));
  if (control == nullptr) {
    return nullptr;
  }
  auto* scrolling = qobject_cast<QAbstractScrollArea*>(control);
  return scrolling != nullptr ? scrolling->viewport() : control;
}

// A whole repaint of one control, with the cells the demo records left in
// it: what each paint costs the event loop once it is due.
void BM_Repaint(benchmark::State& state, QWidget* (*target)()) {
  for (const std::string& record : race_feed::FloodPool(race_feed::Family::kMixed)) {
    commentator->Dispatcher().DispatchRecord(record);
  }
  // Held repaints end within the throttle's interval.
  QEventLoop held;
  QTimer::singleShot(3 * RepaintThrottle::kInterval, &held, &QEventLoop::quit);
  held.exec();
  QWidget* widget = target();
  if (widget == nullptr) {
    state.SkipWithError("no such control");
    return;
  }
  for (auto _ : state) {
    widget->repaint();
  }
}

// Start-up's own share: every window created hidden, as the program does
// before the event loop shows the main window, and destroyed again.
void BM_CreateWindows(benchmark::State& state) {
  for (auto _ : state) {
    CommentatorApp created(ListenerPorts{0, 0});
    benchmark::DoNotOptimize(&created.Main());
  }
}

struct RepaintCase {
  const char* name;
  QWidget* (*target)();
};

const RepaintCase kRepaints[] = {
    {"traffic_log", [] { return Control(commentator->Main(), "ListBox1"); }},
    {"tt_summary_grid", [] { return Control(commentator->TimeTrial(), "StringGrid00"); }},
    {"tt_laps_grid", [] { return Control(commentator->TimeTrial(), "StringGrid01"); }},
    {"tt_time_label", [] { return Control(commentator->TimeTrial(), "TLabel0"); }},
    {"pts_standings_grid", [] { return Control(commentator->PointsRace(), "StringGrid1"); }},
    {"sprint_grid", [] { return Control(commentator->Sprint(), "StringGrid1"); }},
    {"scratch_competitor_grid", [] { return Control(commentator->Scratch(), "StringGrid2"); }},
    {"qdtype_list", [] { return Control(commentator->QuickText(), "listbox1"); }},
};

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  qInstallMessageHandler(CountMessage);
  QApplication app(argc, argv);
  // The program writes its data files into the working directory.
  QTemporaryDir work;
  if (!work.isValid() || !QDir::setCurrent(work.path())) {
    return 1;
  }
  auto created = std::make_unique<CommentatorApp>(ListenerPorts{0, 0});
  commentator = created.get();
  commentator->ShowMainWindow();
  QApplication::processEvents();

  for (const FamilyCase& family_case : kCases) {
    benchmark::RegisterBenchmark((std::string("DispatchRecord/") + family_case.name).c_str(),
                                 BM_DispatchRecord, family_case.family)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("CreateWindows", BM_CreateWindows)->Unit(benchmark::kMillisecond);
  for (const RepaintCase& repaint : kRepaints) {
    benchmark::RegisterBenchmark((std::string("Repaint/") + repaint.name).c_str(), BM_Repaint,
                                 repaint.target)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  commentator = nullptr;
  created.reset();
  return 0;
}
