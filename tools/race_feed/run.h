// race-feed from parsed arguments to exit status, with its streams passed
// in so a test can drive it whole.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "tools/race_feed/options.h"

namespace race_feed {

constexpr int kExitOk = 0;
constexpr int kExitRuntime = 1;
constexpr int kExitUsage = 2;

// `terminal`: `err` is a terminal, so the progress bar may be drawn there.
int Run(const Options& options, std::istream& in, std::ostream& out, std::ostream& err,
        bool terminal);

// The whole program: `args` without the program name.
int Main(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
         std::ostream& err, bool terminal);

}  // namespace race_feed
