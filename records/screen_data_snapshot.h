// A plain copy of every cell and label text of the screens' data, to keep a
// moment of the screens and put it back later (the history's checkpoints,
// the live screens while an earlier moment is shown). The commentator's
// choice of points race sprint is not part of it: putting a copy back keeps
// the choice and shows that sprint from the copied store. QtCore only.
#pragma once

#include "records/screen_data.h"

#include <cstddef>
#include <string>

class ScreenDataSnapshot {
 public:
  // Empty: restores nothing. Take one from data first.
  ScreenDataSnapshot() = default;
  static ScreenDataSnapshot Take(const ScreenData& data);

  // Writes every cell and text into `data`; a view repaints only what
  // differs, as a record's writes do.
  void RestoreInto(ScreenData& data) const;

  bool Empty() const { return cells_.empty(); }
  std::size_t ByteSize() const { return cells_.capacity(); }
  bool operator==(const ScreenDataSnapshot&) const = default;

 private:
  // Each cell and text in a fixed order: its length (7 bits a byte, low
  // first) then its bytes. Most cells are empty: one byte each.
  std::string cells_;
};
