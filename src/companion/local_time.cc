// The next local occurrence of a time of day, from nothing but the
// conversion of absolute times to local ones: the offset of local time on
// either side of the wanted moment tells which absolute times can show it.
#include <algorithm>
#include <vector>

#include "companion/companion.h"

namespace tav::companion {
namespace {

constexpr int64_t kDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil); the day may lie past the month's end.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// A local calendar time counted as if it were UTC.
int64_t WallSeconds(const LocalDateTime& t) {
  return DaysFromCivil(t.Year, t.Month, t.Day) * kDay + t.Hour * 3600 + t.Minute * 60 + t.Second;
}

class LocalClock {
 public:
  explicit LocalClock(OsSleep& sleep) : sleep_(sleep) {}

  // Local minus absolute seconds at `seconds`.
  std::optional<int64_t> OffsetAt(int64_t seconds) {
    std::optional<LocalDateTime> local = sleep_.LocalTimeOf(seconds);
    if (!local) return std::nullopt;
    return WallSeconds(*local) - seconds;
  }

  // The absolute times that show the wall time `wall`, earliest first; for a
  // wall time in a gap, the end of the gap.
  std::optional<std::vector<int64_t>> Showing(int64_t wall) {
    std::optional<int64_t> before = OffsetAt(wall - kDay);
    std::optional<int64_t> after = OffsetAt(wall + kDay);
    if (!before || !after) return std::nullopt;
    std::vector<int64_t> found;
    for (int64_t offset : {*before, *after}) {
      const int64_t candidate = wall - offset;
      std::optional<int64_t> there = OffsetAt(candidate);
      if (!there) return std::nullopt;
      if (*there == offset && std::find(found.begin(), found.end(), candidate) == found.end())
        found.push_back(candidate);
    }
    std::sort(found.begin(), found.end());
    if (!found.empty() || *before == *after) return found;
    // Skipped: the change lies between the two candidates; find its moment.
    int64_t low = std::min(wall - *before, wall - *after);
    int64_t high = std::max(wall - *before, wall - *after);
    while (high - low > 1) {
      const int64_t middle = low + (high - low) / 2;
      std::optional<int64_t> offset = OffsetAt(middle);
      if (!offset) return std::nullopt;
      (*offset == *after ? high : low) = middle;
    }
    return std::vector<int64_t>{high};
  }

 private:
  OsSleep& sleep_;
};

}  // namespace

std::optional<int64_t> NextLocalOccurrence(OsSleep& sleep, int64_t now, TimeOfDay time) {
  LocalClock clock(sleep);
  std::optional<LocalDateTime> today = sleep.LocalTimeOf(now);
  if (!today) return std::nullopt;
  const int64_t firstDay = DaysFromCivil(today->Year, today->Month, today->Day);
  for (int64_t day = firstDay; day <= firstDay + 2; ++day) {
    std::optional<std::vector<int64_t>> moments =
        clock.Showing(day * kDay + time.Hour * 3600 + time.Minute * 60);
    if (!moments) return std::nullopt;
    for (int64_t moment : *moments)
      if (moment > now) return moment;
  }
  return std::nullopt;
}

}  // namespace tav::companion
