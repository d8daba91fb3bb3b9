// The controller's end of the exchange area (see exchange_area.h).
//
// A controller is started by the simulator with the arguments "-automemlink"
// and the segment identifier. A typical controller:
//
//   #include "IOshare/IOsharemem_client.h"
//   int main(int argc, char** argv) {
//     IOsharemem_client link(automemlink_ident(argc, argv));
//     int r;
//     while ((r = link.receive()) != -1) {
//       if (r == 0) continue;                      // nothing new (10 ms pause taken)
//       int full = link.input_is_set("Niv");       // read inputs by name
//       link.setreset_output("Vi", full ? 0 : 1);  // write outputs by name
//       link.outputs_refresh();
//     }
//   }
//
// Names are matched exactly (same length, same bytes). The two sides run at
// their own pace: a controller slower than the simulator sees only the latest
// inputs, and a faster one gets 0 from receive until the next cycle.
//
// Failures end the process with exit status 1 after a message on standard
// error: "IOshare: erreur sur partage memoire", a line saying what is wrong,
// and an empty line. The constructor checks what it attaches to: identifier
// 0 ("ident_mem ==0 !"), a segment that cannot be attached ("shmat() client
// refuse pour ident mem=" and the identifier), a segment that is not 4533
// bytes long, or counts outside 0..41. It never reads outside the area.
#ifndef IOSHARE_IOSHAREMEM_CLIENT_H
#define IOSHARE_IOSHAREMEM_CLIENT_H

#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ioshare {
struct exchange_area;
}

// The segment identifier given after the last "-automemlink" argument, which
// must be a decimal number (digits only). Missing or not decimal: a message
// on standard error and exit status 1.
int automemlink_ident(int argc, char** argv);

// Why the controller's end could not start. The values are those of the C
// interface (ioshare_c.h), which hands them to other languages.
enum class attach_failure {
  none = 0,
  no_switch = 1,     // no "-automemlink" argument
  no_ident = 2,      // nothing after the last "-automemlink"
  not_decimal = 3,   // what follows it is not a decimal number
  zero_ident = 4,    // identifier 0
  refused = 5,       // the segment cannot be attached
  wrong_size = 6,    // the segment is not 4533 bytes long
  wrong_counts = 7,  // its counts lie outside 0..41
};

// Reports a failure as the controller's end does before ending the process:
// "IOshare: erreur sur partage memoire", the line, an empty line, all on
// standard error; then exit status 1.
[[noreturn]] void refuse_attach(const std::string& line);

// automemlink_ident without ending the process: the identifier in *ident and
// attach_failure::none, or the failure and in *line the line that
// automemlink_ident would report.
attach_failure find_automemlink_ident(int argc, char** argv, int* ident, std::string* line);

class IOsharemem_client {
 public:
  // Attaches the area of segment ident: writes "ident_mem=" and ident on
  // standard error, resets the output clock to 0, clears the local copy.
  explicit IOsharemem_client(int ident);
  // The constructor's attach without ending the process: null on failure,
  // with the failure in *failure and in *line the line that the constructor
  // would report. "ident_mem=" is written as by the constructor.
  static std::unique_ptr<IOsharemem_client> try_attach(int ident, attach_failure* failure,
                                                       std::string* line);
  // Releases the local copy; the area stays attached until the process ends.
  ~IOsharemem_client() {}

  // Polls for a new set of inputs:
  //  -1  the simulation has ended (input clock -1), or its process has
  //      vanished (killed, crashed): from then on always -1, without pause;
  //   0  nothing new, after a pause of 10 000 microseconds;
  //   1  a new set of inputs is in the local copy.
  int receive();
  // Value of the named input as of the last receive that returned 1; 0 when
  // no input has that name. With duplicate names the last one wins.
  int input_is_set(const std::string& name);
  // Writes value into every output with that name, at once and without the
  // lock; the simulator sees it at its next cycle. Unknown name: nothing.
  void setreset_output(const std::string& name, int value);
  // Raises the output clock by 1 (under the lock): fresh outputs announced.
  void outputs_refresh();
  // The input clock of the last receive that returned 1 (0 before any).
  int inputs_clock() const { return last_clock; }

  // Access by number, for controllers that serve every signal whatever the
  // simulator (a bridge to other equipment). Numbers follow the simulator's
  // order; a number outside the counts reads "" or 0 and writes nothing.
  // output_value and set_output touch only single words of the area, so
  // they may be called from another thread than receive.
  int input_count() const { return nb_inputs; }
  int output_count() const { return nb_outputs; }
  std::string input_name(int i) const;
  std::string output_name(int i) const;
  // Input i as of the last receive that returned 1.
  int input_value(int i) const;
  // Output i as it stands in the area.
  int output_value(int i) const;
  // Writes output i at once, without the lock, as setreset_output does.
  void set_output(int i, int value);

 private:
  IOsharemem_client() = default;
  attach_failure attach(int ident, std::string* line);

  int nb_inputs;
  int nb_outputs;
  ioshare::exchange_area* area;
  std::vector<int> inputs;  // local copy of the input values
  int last_clock;           // input clock of the last snapshot
  pid_t creator;            // the simulator's process, watched while idle
  int idle_polls;           // polls with nothing new since the last watch
  bool ended;               // the simulator has vanished
};

#endif
