// What every controller that runs a program on plcengine does, whatever
// the program's language: its common options, its end of the exchange
// area, the VCD of the run, and the loop of one scan per new set of inputs.
//
// A simulator starts such a controller with "-automemlink <ident>". The
// exchange area is attached first, so that every failure after that leaves
// the plant's outputs at 0. SIGTERM, SIGINT and SIGHUP end the loop: every
// output is set to 0, the VCD file is completed and the status is 0.
#ifndef PLCRUN_CONTROLLER_H
#define PLCRUN_CONTROLLER_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plcengine/binding.h"
#include "plcengine/runtime.h"
#include "plcengine/sfc_program.h"
#include "plcengine/vcd.h"

class IOsharemem_client;

namespace plc {

// How a controller names itself and its argument in messages.
struct controller_texts {
  const char* program;  // "sudz-plc"
  const char* help;     // printed by --help
  const char* usage;    // the short usage printed after a bad command line
  const char* what;     // the one argument: "file", "chart"
};

struct controller_options {
  bool check = false, linked = false;
  std::string plant, vcd, file;
};

// Prints "program: message" and the short usage on standard error; exit 1.
[[noreturn]] void usage_error(const controller_texts& t, const std::string& message);

// An option a controller takes besides the common ones: true if it knows
// it; value() gives the argument that follows (missing: a usage error).
using extra_option =
    std::function<bool(const std::string& option, const std::function<std::string()>& value)>;

// A variable's value as an output signal carries it: a BOOL as 0 or 1.
int signal_value(const value& v);

// Reads --help, -h, --check, --plant, --vcd, -automemlink (and its
// identifier) and the one file; other options go to extra.
controller_options parse_controller_options(int argc, char** argv, const controller_texts& t,
                                            const extra_option& extra);

// The whole content of a file; false with errno set if it cannot be read.
bool read_text_file(const std::string& path, std::string* text);

// The signals a run's VCD traces and their variables: a chart's steps
// (scope "steps"), the plant's inputs and outputs (scopes "inputs",
// "outputs"), then, with variables, the other variables the program
// declares (scope "variables"). With bits, every signal is one bit.
void vcd_signals(const program& p, const binding& b, bool variables, bool bits,
                 std::vector<vcd_file::signal>* signals, std::vector<int>* traced);

class controller {
 public:
  // Attaches to the exchange area when o says a simulator started it.
  controller(int argc, char** argv, const controller_options& o);
  ~controller();
  controller(const controller&) = delete;
  controller& operator=(const controller&) = delete;

  bool linked() const { return link_ != nullptr; }
  // The simulator's signal names: plant "the simulator", or the known
  // plant's name when they are that plant's.
  plant_signals signals() const;
  // Prints text on standard error and sets every output to 0: status 1.
  int fail(const std::string& text);
  // Milliseconds since the controller started.
  std::int64_t now_ms() const;
  // The value of the plant's input signal as last received (0 unlinked).
  int input(int signal) const;

  // What the loop calls besides the scan: idle at every poll (a window's
  // events), scanned after every scan with its time.
  struct hooks {
    std::function<void()> idle;
    std::function<void(std::int64_t)> scanned;
  };
  // One scan of rt per new set of inputs, inputs and outputs as b links
  // them, each scan sampled into vcd (when open) through traced, until the
  // simulation ends or a signal stops it. Status 0, or fail()'s when the
  // program faults.
  int run(runtime& rt, const binding& b, vcd_file* vcd, const std::vector<int>& traced,
          const hooks& h);

 private:
  std::unique_ptr<IOsharemem_client> link_;
  std::chrono::steady_clock::time_point start_;
};

// A textual chart read and checked for the controller: against the
// simulator's names, else those --plant gives, else the known plant that
// fits it best. Its errors (and with --check its warnings) are printed on
// standard error; false, every output at 0, when it has an error.
bool load_chart_file(controller& ctl, const controller_options& o, const controller_texts& t,
                     const std::string& text, sfc::loaded_chart* out);

}  // namespace plc

#endif
