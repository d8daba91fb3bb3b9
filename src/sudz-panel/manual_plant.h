// The manual plant's loop: the controller's outputs shown live on an outputs panel, the inputs
// set by hand on an inputs panel.
//
// "GO" writes every input from its tick and raises the input clock once, so the controller
// sees one new set of inputs per "GO"; "INIT" clears the ticks. "QUIT", or the window closed,
// ends the loop; the caller then ends the run as the simulator does.
#ifndef SUDZ_PANEL_MANUAL_PLANT_H
#define SUDZ_PANEL_MANUAL_PLANT_H

#include <list>
#include <string>

class IOsharemem_server;

// Title of the window.
extern const char panel_window_title[];

// Runs until the operator quits; the window is closed on return.
void run_manual_plant(IOsharemem_server& server, const std::list<std::string>& inputs,
                      const std::list<std::string>& outputs);

#endif
