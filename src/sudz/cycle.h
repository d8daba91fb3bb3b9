// The simulation cycle: events, inputs published, outputs read, plant
// advanced, machine redrawn, a pause of 5000 microseconds; again until the
// run ends.
#ifndef SUDZ_CYCLE_H
#define SUDZ_CYCLE_H

class IOsharemem_server;
class machine_plant;
struct machine_window;

// The two alarm texts, shown in a modal alert before the run ends.
extern const char* const boiling_alarm_text;
extern const char* const overflow_alarm_text;

// Runs the kit's cycle until "Quitter" or the window is closed, then hides the
// window, sets the input clock to -1 and returns 0. An alarm shows its
// alert, hides the window, sets the clock to -1 and exits with status 1.
int run_simulation(machine_window& w, machine_plant& plant, IOsharemem_server* server);

#endif
