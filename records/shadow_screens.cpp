#include "records/shadow_screens.h"

#include <cstring>

ShadowScreens::ShadowScreens(TrafficLog* log)
    : dispatcher_(data_, {&unseen_, &unseen_, &unseen_, &unseen_, &time_trial_},
                  log != nullptr ? *log : log_) {}

WriteReport ShadowScreens::Take(std::string_view datagram) {
  return dispatcher_.DispatchRecord(datagram.substr(0, strnlen(datagram.data(), datagram.size())));
}
