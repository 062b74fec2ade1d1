// What the venue's datagrams make of its screens, at the publishing end.
// The late-join state takes every datagram, turned away or not, since each
// remote screen applies its own listening address. The browser view shows
// what the venue's desktop shows: only the datagrams its listening address
// accepted reach the view's screens, and its log has the desktop's line for
// each, the IGNORED one included; the rider cards hear what those wrote.
// Both run the same record rules.
#pragma once

#include "records/screen_data.h"
#include "records/shadow_screens.h"
#include "relay/late_join_state.h"
#include "view/rider_view.h"
#include "view/view_publisher.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace relay {

class VenueRecords {
 public:
  explicit VenueRecords(std::string topic);
  VenueRecords(const VenueRecords&) = delete;
  VenueRecords& operator=(const VenueRecords&) = delete;

  // The datagram numbered `sequence`, published as `encoded`.
  void Take(std::uint64_t sequence, std::uint32_t sender, std::string_view bytes,
            std::int64_t received_us, bool accepted, std::string encoded,
            view::ViewPublisher::Clock::time_point now);

  const LateJoinState& LateJoin() const { return late_join_; }
  view::ViewPublisher& View() { return view_; }
  // The browser's rider cards, from what the accepted records wrote.
  view::RiderView& Riders() { return riders_; }
  // The screens the view's documents are made from.
  const ScreenData& ViewData() const { return shown_.Data(); }

 private:
  view::ViewPublisher view_;
  ShadowScreens all_;    // every datagram, for the late-join state
  ShadowScreens shown_;  // the accepted ones, writing the view's log
  LateJoinState late_join_;
  view::RiderView riders_;
};

}  // namespace relay
