// race-feed's own entry point with its streams captured, as the tests of
// its command line and of what it sends run it.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "tools/race_feed/run.h"

namespace race_feed {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

// Not on a terminal, so no progress bar.
inline Outcome RunMain(const std::vector<std::string>& args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = Main(args, in, out, err, false);
  return {status, out.str(), err.str()};
}

}  // namespace race_feed
