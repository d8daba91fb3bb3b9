// A run written as a VCD file for a waveform viewer (GTKWave): values of
// a program's variables over time, in milliseconds since the start.
//
// Each sample writes only what changed and is flushed at once, so that the
// file holds the run up to its last scan even if the program is killed.
#ifndef PLCENGINE_VCD_H
#define PLCENGINE_VCD_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "plcengine/value.h"

namespace plc {

class vcd_file {
 public:
  struct signal {
    std::string scope, name;
    type t = type::BOOL;
  };

  vcd_file() = default;
  ~vcd_file();
  vcd_file(const vcd_file&) = delete;
  vcd_file& operator=(const vcd_file&) = delete;

  // Creates the file and writes its header: one scope per scope name, in
  // order of first use, inside a module named module. False with a message
  // if the file cannot be written.
  bool open(const std::string& path, const std::string& module, const std::vector<signal>& signals,
            std::string* error);
  // The signals' values at t_ms, in the order given to open; times going
  // backwards are taken as the last sample's.
  void sample(std::int64_t t_ms, const std::vector<value>& values);
  // Writes the final time stamp and closes.
  void close(std::int64_t t_ms);
  bool is_open() const { return file_ != nullptr; }

 private:
  std::string text_of(size_t i, const value& v) const;
  std::FILE* file_ = nullptr;
  std::vector<signal> signals_;
  std::vector<std::string> ids_, last_;
  std::int64_t last_t_ = -1;
};

}  // namespace plc

#endif
