#include "sudz-trace/poll_schedule.h"

#include <algorithm>

void poll_schedule::cycle_seen(double t) {
  if (last_ >= 0) {
    const double d = t - last_;
    // Gaps of a tenth of a second or more are pauses, not the pace.
    if (d > 0 && d < 0.1) interval_ = interval_ <= 0 ? d : 0.8 * interval_ + 0.2 * d;
  }
  last_ = t;
}

double poll_schedule::next(double now) const {
  if (interval_ <= 0) return now + fast_;
  const double due = last_ + interval_;
  const double from = due - 2 * fast_;
  if (now < from) return std::min(now + slow_, from);
  if (now < due + 2 * slow_) return now + fast_;
  return now + slow_;
}
