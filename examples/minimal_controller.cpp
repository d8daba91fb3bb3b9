// minimal_controller: the smallest useful controller. Once the door is closed and "St" pressed,
// it fills the tank to its level, drains it, and then does nothing until the simulation ends.
// It ignores the door: washing_programme.cpp shows how to pause safely when it opens.
//
// Build:  g++ minimal_controller.cpp $(pkg-config --cflags --libs IOshare) -o minimal_controller
// Run:    sudz ./minimal_controller
#include <cstdio>

#include "IOshare/IOsharemem_client.h"

int main(int argc, char** argv) {
  // The simulator passes "-automemlink <ident>": attach to its exchange area.
  IOsharemem_client io(automemlink_ident(argc, argv));

  enum { WAITING, FILLING, DRAINING, DONE } stage = WAITING;

  int news;
  while ((news = io.receive()) != -1) {  // -1: the simulation is over
    if (news == 0) continue;             // 0: no new inputs yet (receive already paused 10 ms)

    // 1: new inputs. Decide...
    if (stage == WAITING && io.input_is_set("Tr") == 1 && io.input_is_set("St") == 1) {
      stage = FILLING;
    } else if (stage == FILLING && io.input_is_set("Niv") == 1) {
      stage = DRAINING;
    } else if (stage == DRAINING && io.input_is_set("Vide") == 1) {
      stage = DONE;
    }

    // ...then write the outputs and announce them.
    io.setreset_output("Vi", stage == FILLING && io.input_is_set("Niv") == 0);
    io.setreset_output("Vo", stage == DRAINING);
    io.outputs_refresh();
  }
  std::printf("minimal_controller: simulation ended\n");
  return 0;
}
