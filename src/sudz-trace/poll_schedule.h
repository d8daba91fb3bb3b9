// When the proxy looks at the two areas next.
//
// The simulator publishes its cycles at a steady pace, so the proxy looks
// often (every `fast` seconds) only from a little before the next cycle is
// due until it comes, and otherwise every `slow` seconds, which bounds how
// long a change of the controller's outputs waits. A cycle that does not
// come (a dialog open in the simulator) brings back the slow pace.
#ifndef SUDZ_TRACE_POLL_SCHEDULE_H
#define SUDZ_TRACE_POLL_SCHEDULE_H

class poll_schedule {
 public:
  poll_schedule(double slow, double fast) : slow_(slow), fast_(fast) {}
  // A new cycle was seen at time t (seconds).
  void cycle_seen(double t);
  // The time of the next look, at or after now.
  double next(double now) const;
  double interval() const { return interval_; }

 private:
  double slow_, fast_;
  double last_ = -1;     // when the last cycle was seen
  double interval_ = 0;  // the cycles' period, smoothed; 0 unknown
};

#endif
