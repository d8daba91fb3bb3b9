/* minimal_controller.c: the minimal controller in C. Once the door is closed and "St" pressed,
 * it fills the tank to its level, drains it, and then does nothing until the simulation ends.
 * It does what minimal_controller.cpp does, through the C interface of the same library.
 *
 * Build:  gcc minimal_controller.c $(pkg-config --cflags --libs IOshare) -o minimal_controller_c
 * Run:    sudz ./minimal_controller_c */
#include <stdio.h>

#include "IOshare/ioshare_c.h"

enum stage { WAITING, FILLING, DRAINING, DONE };

int main(int argc, char** argv) {
  /* The simulator passes "-automemlink <ident>": attach to its exchange area. */
  ioshare_link* io = ioshare_attach_argv(argc, argv);
  enum stage stage = WAITING;
  int news;

  while ((news = ioshare_receive(io)) != -1) { /* -1: the simulation is over */
    if (news == 0) continue; /* 0: no new inputs yet (receive already paused 10 ms) */

    /* 1: new inputs. Decide... */
    if (stage == WAITING && ioshare_input(io, "Tr") == 1 && ioshare_input(io, "St") == 1) {
      stage = FILLING;
    } else if (stage == FILLING && ioshare_input(io, "Niv") == 1) {
      stage = DRAINING;
    } else if (stage == DRAINING && ioshare_input(io, "Vide") == 1) {
      stage = DONE;
    }

    /* ...then write the outputs and announce them. */
    ioshare_set_output(io, "Vi", stage == FILLING && ioshare_input(io, "Niv") == 0);
    ioshare_set_output(io, "Vo", stage == DRAINING);
    ioshare_refresh(io);
  }
  printf("minimal_controller_c: simulation ended\n");
  ioshare_free(io);
  return 0;
}
