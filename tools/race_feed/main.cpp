// race-feed: sends race data records to the commentator screen over UDP,
// for trying the screen without a race-scoring server.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "tools/race_feed/run.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return race_feed::Main(args, std::cin, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
