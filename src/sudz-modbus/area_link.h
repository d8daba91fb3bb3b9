// The bridge's end of the exchange area.
//
// Attaches the area given by "-automemlink" and polls it (receive) on a
// thread of its own, so that serving the network never delays the polling
// and the polling's 10 ms pause never delays a reply. The latest input
// snapshot and its clock are kept here under a mutex; outputs are read and
// written straight in the area (single words), from any thread.
//
// end_fd() becomes readable once the simulation has ended (receive returned
// -1: the simulator finished or vanished) or stop() was called, e.g. from a
// signal handler; ended() then tells which.
#ifndef SUDZ_MODBUS_AREA_LINK_H
#define SUDZ_MODBUS_AREA_LINK_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "IOshare/IOsharemem_client.h"
#include "sudz-modbus/area_values.h"

class area_link : public area_values {
 public:
  // Attaches segment ident (a message and exit 1 when that fails) and starts
  // polling.
  explicit area_link(int ident);
  ~area_link();
  area_link(const area_link&) = delete;
  area_link& operator=(const area_link&) = delete;

  int input_count() const { return client_.input_count(); }
  int output_count() const { return client_.output_count(); }
  std::string input_name(int i) const { return client_.input_name(i); }
  std::string output_name(int i) const { return client_.output_name(i); }

  // Input i of the latest snapshot (0 outside the count, or before any).
  int input(int i) const;
  // Every input of the latest snapshot, and its input clock.
  std::vector<int> inputs(int32_t* clock) const;
  // The input clock of the latest snapshot.
  int32_t clock() const;

  int output(int i) const { return client_.output_value(i); }
  void set_output(int i, int value) { client_.set_output(i, value); }
  void zero_outputs();

  int end_fd() const { return pipe_[0]; }
  bool ended() const { return ended_; }
  // Async-signal-safe: makes end_fd() readable.
  void stop();

 private:
  void poll_loop();

  IOsharemem_client client_;
  mutable std::mutex mutex_;
  std::vector<int> inputs_;
  int32_t clock_ = 0;
  std::atomic<bool> ended_{false};
  std::atomic<bool> quit_{false};
  int pipe_[2] = {-1, -1};
  std::thread thread_;
};

#endif
