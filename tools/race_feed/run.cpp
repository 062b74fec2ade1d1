#include "tools/race_feed/run.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <thread>

#include "tools/race_feed/demo.h"
#include "tools/race_feed/progress.h"
#include "tools/race_feed/records.h"
#include "tools/race_feed/relay_commands.h"
#include "tools/race_feed/replay.h"
#include "tools/race_feed/sender.h"
#include "tools/race_feed/view_url.h"

namespace race_feed {

namespace {

using Clock = std::chrono::steady_clock;

// Far enough for any real wait, near enough for a clock's nanoseconds: a
// wait beyond it is a wait until stopped.
constexpr double kLongestDueMs = 1e12;

int Fail(std::ostream& err, const std::string& message, int status) {
  err << "race-feed: " << message << '\n';
  return status;
}

// Sleeps until `due`, in slices, so the progress bar's clock keeps moving.
void WaitUntil(Clock::time_point due, Progress& progress, std::int64_t sent) {
  constexpr auto kSlice = std::chrono::milliseconds(100);
  for (auto now = Clock::now(); now < due; now = Clock::now()) {
    std::this_thread::sleep_until(std::min(due, now + kSlice));
    progress.Update(sent);
  }
}

using Senders = std::map<std::pair<int, std::string>, std::unique_ptr<Sender>>;

// Sends `records` on their delays, `speed` times faster; each record to its
// own port when it names one, from `from[i]` (empty: this machine's choice).
int Play(const std::vector<TimedRecord>& records, const std::vector<std::string>& from,
         double speed, Senders& senders, int default_port, Progress& progress, std::ostream& err) {
  const Clock::time_point start = Clock::now();
  double due_ms = 0;
  std::int64_t sent = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const TimedRecord& entry = records[i];
    due_ms = std::min(due_ms + static_cast<double>(entry.delay_ms) / speed, kLongestDueMs);
    WaitUntil(start + std::chrono::duration_cast<Clock::duration>(
                          std::chrono::duration<double, std::milli>(due_ms)),
              progress, sent);
    std::string error;
    if (!senders.at({entry.port != 0 ? entry.port : default_port, from[i]})
             ->Send(entry.record, error)) {
      progress.Finish(sent);
      return Fail(err, error, kExitRuntime);
    }
    progress.Update(++sent);
  }
  progress.Finish(sent);
  return kExitOk;
}

int Flood(const Options& options, Sender& sender, Progress& progress, std::ostream& err) {
  const std::vector<std::string> pool = FloodPool(options.family);
  const Clock::time_point start = Clock::now();
  for (std::int64_t sent = 0; sent < options.count;) {
    if (options.rate > 0) {
      WaitUntil(start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                            static_cast<double>(sent) / options.rate)),
                progress, sent);
    }
    std::string error;
    if (!sender.Send(pool[static_cast<std::size_t>(sent) % pool.size()], error)) {
      progress.Finish(sent);
      return Fail(err, error, kExitRuntime);
    }
    progress.Update(++sent);
  }
  progress.Finish(options.count);
  return kExitOk;
}

}  // namespace

int Run(const Options& options, std::istream& in, std::ostream& out, std::ostream& err,
        bool terminal) {
  if (options.command == Command::kHelp) {
    out << UsageText();
    return kExitOk;
  }
  if (options.command == Command::kVersion) {
    out << VersionText() << '\n';
    return kExitOk;
  }
  if (options.command == Command::kPublish) {
    return RunPublish(options, err);
  }
  if (options.command == Command::kSubscribe) {
    return RunSubscribe(options, err);
  }
  if (options.command == Command::kViewUrl) {
    return RunViewUrl(options, out, err);
  }

  // Every record is checked before the first one goes out.
  std::vector<TimedRecord> records;
  if (options.command == Command::kSend) {
    if (std::string problem = RecordProblem(options.text); !problem.empty()) {
      return Fail(err, "send: " + problem + "; nothing sent", kExitRuntime);
    }
    records.push_back({0, options.text});
  } else if (options.command == Command::kReplay) {
    ReplayScript script = ReadReplayFile(options.file, in);
    if (!script.error.empty()) {
      return Fail(err, script.error + "; nothing sent", kExitRuntime);
    }
    records = std::move(script.records);
  } else if (options.command == Command::kDemo) {
    records = DemoSession();
  }

  // A session file's records go from their recorded sender where this
  // machine can send from it, so the screen's listening address turns away
  // what it turned away then; --source chooses one for all.
  std::vector<std::string> from(records.size(), options.source);
  std::uint64_t not_from_sender = 0;
  if (options.source.empty()) {
    const std::vector<std::string> own = OwnIPv4Addresses();
    std::map<std::string, bool> usable;
    for (std::size_t i = 0; i < records.size(); ++i) {
      const std::string& sender = records[i].sender;
      if (sender.empty()) {
        continue;
      }
      auto [known, added] = usable.try_emplace(sender, false);
      if (added) {
        std::string error;
        known->second = CanSendFrom(sender, options.host, own) &&
                        Sender::Open({options.host, options.port, false, sender}, error) != nullptr;
      }
      if (known->second) {
        from[i] = sender;
      } else {
        ++not_from_sender;
      }
    }
  }
  // One socket for each port and source the records go with.
  Senders senders;
  senders[{options.port, options.source}];
  for (std::size_t i = 0; i < records.size(); ++i) {
    senders[{records[i].port != 0 ? records[i].port : options.port, from[i]}];
  }
  for (auto& [to, sender] : senders) {
    std::string error;
    sender = Sender::Open({options.host, to.first, options.broadcast, to.second}, error);
    if (!sender) {
      return Fail(err, error, kExitRuntime);
    }
  }
  if (not_from_sender > 0) {
    err << "race-feed: " << not_from_sender
        << " records go from this machine's own address: their recorded sender is not one it "
           "can send from\n";
  }
  const std::int64_t total = options.command == Command::kFlood
                                 ? options.count
                                 : static_cast<std::int64_t>(records.size());
  Progress progress(err, total, terminal && !options.quiet);
  if (options.command == Command::kFlood) {
    return Flood(options, *senders.at({options.port, options.source}), progress, err);
  }
  return Play(records, from, options.speed, senders, options.port, progress, err);
}

int Main(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
         std::ostream& err, bool terminal) {
  const ParseResult parsed = ParseArguments(args);
  if (!parsed.options) {
    return Fail(err, parsed.error, kExitUsage);
  }
  return Run(*parsed.options, in, out, err, terminal);
}

}  // namespace race_feed
