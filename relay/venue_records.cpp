#include "relay/venue_records.h"

#include "records/traffic_lines.h"
#include "relay/message.h"

#include <cstring>
#include <utility>

namespace relay {

VenueRecords::VenueRecords(std::string topic)
    : view_(topic), shown_(&view_.Log()), riders_(std::move(topic)) {
  view_.SetRowBib(riders_.Bibs(shown_.Data()));
}

void VenueRecords::Take(std::uint64_t sequence, std::uint32_t sender, std::string_view bytes,
                        std::int64_t received_us, bool accepted, std::string encoded,
                        view::ViewPublisher::Clock::time_point now) {
  late_join_.Add(sequence, sender, all_.Take(bytes), std::move(encoded));
  WriteReport shown;
  if (accepted) {
    shown = shown_.Take(bytes);
    riders_.Took(shown, shown_.Data());
    view_.LogDatagram(SenderText(sender), bytes.substr(0, strnlen(bytes.data(), bytes.size())));
  } else {
    view_.Log().AddLine(IgnoredLine(SenderText(sender)));
  }
  view_.Took(shown, sequence, received_us, now);
}

}  // namespace relay
