// The run written as a VCD file for a waveform viewer: one 1-bit signal per
// step (its activity), then the plant's inputs and outputs, in milliseconds
// since the start of the run.
//
// Each sample writes only what changed and is flushed at once, so the file
// holds the run up to its last scan even if the program is killed.
#ifndef SUDZ_SFC_VCD_H
#define SUDZ_SFC_VCD_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace sfc {

class vcd_writer {
 public:
  vcd_writer() = default;
  ~vcd_writer();
  vcd_writer(const vcd_writer&) = delete;
  vcd_writer& operator=(const vcd_writer&) = delete;

  // Creates the file and writes its header: the steps in scope "steps" and
  // the signals in scopes "inputs" and "outputs" of a module named after
  // the program. False with a message if the file cannot be written.
  bool open(const std::string& path, const std::string& program,
            const std::vector<std::string>& steps, const std::vector<std::string>& inputs,
            const std::vector<std::string>& outputs, std::string* error);
  // Values of the steps, inputs and outputs in that order (0 or not 0) at
  // t_ms; times going backwards are taken as t_ms of the last sample.
  void sample(std::int64_t t_ms, const std::vector<int>& values);
  // Writes the final time stamp and closes; nothing after.
  void close(std::int64_t t_ms);
  bool is_open() const { return file_ != nullptr; }

 private:
  std::FILE* file_ = nullptr;
  std::vector<std::string> ids_;
  std::vector<int> last_;
  std::int64_t last_t_ = -1;
};

}  // namespace sfc

#endif
