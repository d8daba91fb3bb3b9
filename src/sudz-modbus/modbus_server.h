// Server mode: the exchange area served to Modbus TCP clients.
//
// One thread serves every client with poll(): each connection gathers its
// bytes in a buffer of its own until a whole frame is there, so that bad
// bytes, half frames, silence or a vanished client never hold up the
// others. Whole frames are checked against the register map and answered
// through libmodbus (modbus_reply, modbus_reply_exception); a write reaches
// the area before its reply is sent.
//
// A connection is closed when its frame header is impossible (protocol id
// not 0, length outside 2..254), when a frame stays incomplete for 2 s,
// when it sends no request for 60 s, or when its reply cannot be sent.
// A client beyond --max-clients is accepted, told nothing and closed.
// With --unit N, a request for another unit gets exception 0B (target
// device failed to respond).
// With --watchdog MS, once MS ms pass after the last write request every
// output is set to 0 and the event logged; the next write arms it again.
#ifndef SUDZ_MODBUS_MODBUS_SERVER_H
#define SUDZ_MODBUS_MODBUS_SERVER_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <modbus.h>

#include "sudz-modbus/options.h"
#include "sudz-modbus/register_map.h"

class area_link;

class modbus_server {
 public:
  modbus_server(area_link& area, const register_map& map, const bridge_options& options);
  ~modbus_server();
  modbus_server(const modbus_server&) = delete;
  modbus_server& operator=(const modbus_server&) = delete;

  // Opens the listening socket. False, with a message in *error, when the
  // address is bad or the port cannot be had.
  bool listen(std::string* error);
  // The address and port actually listened on, e.g. "127.0.0.1:5020".
  std::string where() const;
  // Serves until the area's end_fd is readable, then closes every connection.
  void run();

 private:
  using time_point = std::chrono::steady_clock::time_point;
  struct connection {
    int fd;
    std::string peer;
    std::vector<uint8_t> buffer;  // bytes of the frame being gathered
    time_point frame_start;       // when the first of them came
    time_point last_request;
  };

  void accept_clients();
  // Reads what the connection holds and answers its whole frames; the
  // reason to close it, or null.
  const char* read_from(connection& c);
  // Answers one whole frame; false when the reply could not be sent.
  bool answer(connection& c, const uint8_t* frame, int length);
  void close_connection(size_t index, const char* why);
  void check_timers();

  area_link& area_;
  const register_map& map_;
  const bridge_options& options_;
  modbus_t* ctx_ = nullptr;
  modbus_mapping_t* mapping_ = nullptr;
  int listen_fd_ = -1;
  std::vector<connection> connections_;
  bool watchdog_armed_ = false;
  time_point last_write_;
};

#endif
