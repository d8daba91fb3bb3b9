// The simulator's end of the exchange area (see exchange_area.h).
//
// The constructor creates a new 4533-byte segment (private key, mode 0600),
// attaches it, lays out the names, and publishes it with input clock 0 and the
// lock free. memory_ident() is the identifier to hand to the controller, which
// attaches with IOsharemem_client.
//
// Each cycle the simulator writes every input with setreset_input, raises the
// input clock once with inputs_go, and reads every output with output_value.
// It never waits for the controller: output_value takes no lock, and the lock
// wait in setreset_input and get_outputs_clock is bounded to a few
// milliseconds, after which the lock is taken from its holder (a controller
// that died or stopped inside it).
//
// Removal. Right after attaching it, the constructor marks the segment for
// removal (IPC_RMID). Linux keeps a marked segment alive, and attachable by
// its identifier, while any process is attached: the controller attaches
// while the simulator runs and goes on reading the final -1 after it ends,
// and the system frees the segment when the last of them has gone, on every
// exit path including SIGKILL. Nothing else is needed for removal; the
// destructor does nothing and the area stays attached until the process ends.
//
// Failures end the process with exit status 1 and a message on standard error:
// - more than 41 names on a side, or a name of 50 characters or more (there is
//   no room for it in the area): refused before any segment exists;
// - the segment cannot be created or attached: "IOshare: erreur sur partage
//   memoire", then "shmat() serveur refuse pour ident mem=" and the
//   identifier (-1 when the creation failed), then an empty line.
//
// The object belongs to the process that constructed it.
#ifndef IOSHARE_IOSHAREMEM_SERVER_H
#define IOSHARE_IOSHAREMEM_SERVER_H

#include <list>
#include <string>

namespace ioshare {
struct exchange_area;
}

class IOsharemem_server {
 public:
  // Creates, attaches and fills the area. The names are in signal order:
  // input i and output i are the i-th names of the lists.
  IOsharemem_server(const std::list<std::string>& inputs, const std::list<std::string>& outputs);
  // Does nothing (see Removal above).
  ~IOsharemem_server() {}

  // The segment identifier, to pass to the controller.
  int memory_ident() { return ident; }

  // Stores value as input index, under the lock. Out-of-range index: nothing.
  void setreset_input(int index, int value);
  // Raises the input clock by 1: one cycle's inputs are published. Does nothing
  // once sharing_terminate has set it to -1.
  void inputs_go();
  // Output index as the controller last wrote it; 0 for an out-of-range index.
  int output_value(int index);
  // The controller's output refresh counter, read under the lock.
  int get_outputs_clock();
  // Sets the input clock to -1: the simulation has ended. A single atomic
  // store, safe to call from a signal handler or an atexit function.
  void sharing_terminate();

 private:
  int ident;                     // segment identifier
  ioshare::exchange_area* area;  // the attached area
  // The counts as laid out, kept here so that a controller scribbling on the
  // area cannot lead the simulator outside it.
  int nb_inputs;
  int nb_outputs;
};

#endif
