#include "view/view_log.h"

namespace view {

void ViewLog::AddLine(std::string_view line) {
  lines_.emplace_back(line);
  while (lines_.size() > kLines) {
    lines_.pop_front();
  }
  ++generation_;
}

}  // namespace view
