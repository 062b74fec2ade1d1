#include "app/globals.h"

namespace globals {

DisplayColours display_colours;
std::string listening_address{kAllSenders};

}  // namespace globals
