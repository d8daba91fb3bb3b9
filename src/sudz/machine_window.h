// The machine window: fifteen toolkit widgets, the static pipework, and the
// plant's eight devices given their colours. It only paints; the state it
// shows lives in machine_plant.
#ifndef SUDZ_MACHINE_WINDOW_H
#define SUDZ_MACHINE_WINDOW_H

#include <FL/Enumerations.H>

class Fl_Box;
class Fl_Button;
class Fl_Value_Slider;
class machine_plant;
class plant_drawing;
class plant_window;

struct machine_window {
  plant_window* window = nullptr;
  Fl_Color window_colour = 0;  // background of the devices and the readout
  Fl_Box* background = nullptr;
  Fl_Box* label_prelavage = nullptr;
  Fl_Button* timer1 = nullptr;     // "Timer 1 min termine"
  Fl_Button* timer5 = nullptr;     // "Timer 5 min termine"
  Fl_Button* ouvrir = nullptr;     // toggle: door open while pressed in
  Fl_Button* charger = nullptr;    // no effect
  Fl_Button* demarrer = nullptr;   // toggle: start
  Fl_Button* quitter = nullptr;
  Fl_Button* a_propos = nullptr;
  Fl_Value_Slider* setpoint = nullptr;
  Fl_Box* frame = nullptr;
  Fl_Box* indicator[4] = {};       // programme steps 0 to 3
};

// Builds the window and its widgets (the toolkit must be initialised).
// Does not show it.
machine_window build_machine_window();

// Gives the devices their colours and closes the hatch, so that the
// machine is first shown with the door shut.
void colour_devices(machine_plant& plant, Fl_Color window_colour);

// Shows the window centred, resizable, with a full border, titled "machine".
void show_machine_window(machine_window& w);

// The twelve black lines of the pipework, into the current window.
void dessin_environnement();

// The machine's devices as parts of drawing, in the order a full painting takes: the pipework
// with the pump (the pump's erased cross may cut the pipes' ends), each detergent box, the
// valve, then the tank with what lies on it (heater, drum, hatch), which it paints over.
void add_machine_parts(plant_drawing& drawing, machine_plant& plant);

// The temperature readout as a part of drawing, repainted when its text changes.
void add_readout(plant_drawing& drawing, const machine_window& w, const machine_plant& plant);

#endif
