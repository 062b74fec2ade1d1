#include "tools/race_feed/progress.h"

#include <cstdio>

namespace race_feed {

namespace {

constexpr int kBarWidth = 24;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr double kQuietSeconds = 1.0;

}  // namespace

std::string ProgressLine(std::int64_t sent, std::int64_t total, double seconds) {
  const int filled = total > 0 ? static_cast<int>(sent * kBarWidth / total) : kBarWidth;
  const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                          std::string(static_cast<std::size_t>(kBarWidth - filled), '-');
  const double rate = seconds > 0 ? static_cast<double>(sent) / seconds : 0.0;
  const long long whole = static_cast<long long>(seconds);
  char text[160];
  std::snprintf(text, sizeof text, "[%s] %lld/%lld records  %.1f/s  %lld:%02lld", bar.c_str(),
                static_cast<long long>(sent), static_cast<long long>(total), rate, whole / 60,
                whole % 60);
  return text;
}

Progress::Progress(std::ostream& out, std::int64_t total, bool enabled)
    : out_(out),
      total_(total),
      enabled_(enabled),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {}

double Progress::Elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::Draw(std::int64_t sent) {
  // Carriage return and erase to the end of the line: one line, redrawn.
  out_ << '\r' << ProgressLine(sent, total_, Elapsed()) << "\x1b[K" << std::flush;
  drawn_ = true;
  last_draw_ = std::chrono::steady_clock::now();
}

void Progress::Update(std::int64_t sent) {
  if (!enabled_ || Elapsed() < kQuietSeconds ||
      std::chrono::steady_clock::now() - last_draw_ < kRedrawEvery) {
    return;
  }
  Draw(sent);
}

void Progress::Finish(std::int64_t sent) {
  if (drawn_) {
    Draw(sent);
    out_ << '\n' << std::flush;
  }
}

}  // namespace race_feed
