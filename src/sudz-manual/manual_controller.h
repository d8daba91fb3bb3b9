// The manual controller's loop: the simulator's inputs shown live on an outputs panel, the
// outputs to send set by hand on an inputs panel.
//
// Every new set of inputs is shown at once (blue 1, yellow 0, red not read yet), also while the
// operator is choosing. "GO" writes every output from its tick (ticks marked sticky stay, the
// others are sent once) and announces them; "INIT" clears the ticks; "QUIT", or the window
// closed, writes 0 to every output and ends. The end of the simulation ends it too.
#ifndef SUDZ_MANUAL_MANUAL_CONTROLLER_H
#define SUDZ_MANUAL_MANUAL_CONTROLLER_H

class IOsharemem_client;

// Title of the window.
extern const char manual_window_title[];

// Runs until the operator quits or the simulation ends; the window is closed on return. The
// signals are those of the attached area, by number, whatever the simulator.
void run_manual_controller(IOsharemem_client& link);

#endif
