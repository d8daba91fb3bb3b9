// The sorting line's window and its cycle: the scenery around the parts (rail, bins, labels),
// the counters of boxes delivered to each bin, and the loop that publishes the inputs, reads
// the outputs, steps the plant and redraws it.
#ifndef SUDZ_SORTER_SORTER_WINDOW_H
#define SUDZ_SORTER_SORTER_WINDOW_H

#include <FL/Enumerations.H>

class Fl_Button;
class plant_drawing;
class plant_window;
class IOsharemem_server;
class sorter_plant;
struct plant_description;

struct sorter_window {
  plant_window* window = nullptr;
  Fl_Button* quitter = nullptr;
  Fl_Color window_colour = FL_BACKGROUND_COLOR;  // background of every part
};

// The alarm text of a box fallen to the floor.
extern const char* const floor_alarm_text;

// Builds the window (not shown yet). Its title, once shown, is "trieuse".
sorter_window build_sorter_window();
void show_sorter_window(sorter_window& w);

// The parts with the rail, the labels and the counters as parts of drawing, in that order (the
// scenery lies over the parts): the parts and rail repainted when a part has moved, a label or
// a counter when a part reaches into it or its count has changed.
void add_sorter_parts(plant_drawing& drawing, sorter_plant& plant);

// Runs the kit's cycle until "Quitter" or the window is closed; then hides the window, sets
// the input clock to -1 and returns 0. A box on the floor shows the alarm, hides the window, sets the
// clock to -1 and exits with status 1. Each delivery is written on standard output as it
// happens, and the counts when the run ends.
int run_sorter(const plant_description& line, sorter_window& w, sorter_plant& plant,
               IOsharemem_server& server);

#endif
