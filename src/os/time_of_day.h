// A local hour and minute: of the clock, of a command-line option, of a
// settings file's times. Where one may be absent it is a
// std::optional<TimeOfDay>, never -1 fields.
#pragma once

namespace tav {

struct TimeOfDay {
  int Hour = 0;
  int Minute = 0;
  bool operator==(const TimeOfDay& other) const {
    return Hour == other.Hour && Minute == other.Minute;
  }
  bool operator!=(const TimeOfDay& other) const { return !(*this == other); }
};

}  // namespace tav
