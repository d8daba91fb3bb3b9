// libFuzzer target: any bytes as what Modbus TCP clients send, cut into frames as the server
// cuts them, each answered against an area held in memory whose counts come from the first
// bytes. Any access outside the area aborts; every reply read back must be a well-formed frame
// echoing the request's transaction and function.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sudz-modbus/modbus_request.h"

namespace {

class memory_area : public area_values {
 public:
  memory_area(int n, int m) : in_(n), out_(m) {
    for (int i = 0; i < n; ++i) in_[i] = i * 3 - 7;
  }
  int input_count() const override { return static_cast<int>(in_.size()); }
  int output_count() const override { return static_cast<int>(out_.size()); }
  std::string input_name(int i) const override { return "i" + std::to_string(i); }
  std::string output_name(int i) const override { return "o" + std::to_string(i); }
  std::vector<int> inputs(int32_t* clock) const override {
    if (clock != nullptr) *clock = 0x12345678;
    return in_;
  }
  int output(int i) const override { return out_.at(check(i)); }
  void set_output(int i, int value) override { out_.at(check(i)) = value; }

 private:
  size_t check(int i) const {
    if (i < 0 || i >= output_count()) std::abort();
    return static_cast<size_t>(i);
  }
  std::vector<int> in_, out_;
};

int word(const uint8_t* p) {
  return (p[0] << 8) | p[1];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int n = data[0] % 42, m = data[1] % 42;
  const int unit = data[2] % 3 == 0 ? -1 : data[2];
  data += 3;
  size -= 3;
  memory_area area(n, m);
  register_map map(n, m);
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", 502);
  modbus_mapping_t* mapping = map.new_mapping();
  modbus_set_socket(ctx, fds[0]);
  size_t used = 0;
  while (size - used >= 7) {
    const uint8_t* frame = data + used;
    const int length = word(frame + 4);
    if (word(frame + 2) != 0 || length < 2 || length > 254) break;
    if (size - used < static_cast<size_t>(6 + length)) break;
    bool wrote = false;
    if (!answer_request(ctx, mapping, map, area, unit, frame, 6 + length, &wrote)) std::abort();
    uint8_t reply[512];
    const ssize_t got = recv(fds[1], reply, sizeof reply, MSG_DONTWAIT);
    if (got < 9 || got != 6 + word(reply + 4) || word(reply) != word(frame)) std::abort();
    // An exception sets the function's high bit (a code of 128 or more wraps: no such function).
    if ((reply[7] & 0x7F) != (frame[7] & 0x7F)) std::abort();
    used += 6 + length;
  }
  modbus_mapping_free(mapping);
  modbus_free(ctx);
  close(fds[0]);
  close(fds[1]);
  return 0;
}
