// The program's command line. Without options the program is exactly the
// commentator screen it always was; the options add around it.
#pragma once

#include "relay/broker_options.h"

#include <optional>
#include <string>
#include <vector>

struct CommandLine {
  bool help = false;
  bool version = false;
  std::optional<double> scale;        // --scale: every window, font and grid, as one
  std::optional<std::string> screen;  // --screen: a monitor's name, or its number from 0
  std::optional<std::string> record;  // --record: a session file to start
  // --open-session: a recorded session to browse.
  std::optional<std::string> open_session;
  std::optional<relay::Role> broker_role;
  relay::BrokerOptions broker;

  // --start-list: the riders' CSV file; --notes: the notes file, instead of
  // the one beside commentator.dat.
  std::optional<std::string> start_list;
  std::optional<std::string> notes;
};

inline constexpr double kMinScale = 0.5;
inline constexpr double kMaxScale = 4.0;

// The options in `arguments` (the program's name not included). On a bad
// option or value, `error` says why in one line and nothing is returned.
// A --password-file is read here too: one that cannot be used is a bad value.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments,
                                            std::string& error);

std::string UsageText();
std::string VersionText();
