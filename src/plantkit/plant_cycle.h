// The cycle of a plant program: one operator event, the inputs published,
// the outputs read, the model stepped, the plant drawn, a pause of 5000
// microseconds; again until the run ends. The plant gives what is its own
// as hooks; the kit runs the rest, and every end of the run.
//
// A plant drawn as parts (plant_drawing) in a plant_window gets the drawing
// that follows its state: a cycle paints only the parts whose look changed,
// so a cycle in which nothing visible changed sends nothing to the X server;
// whenever the toolkit repaints the window (exposed, mapped, a dialog closed
// over it, a widget redrawn), every part is painted again at once, also
// while a modal dialog holds the cycle. SUDZ_FULL_REDRAW=1 in the
// environment paints every part every cycle instead.
//
// The toolkit handles its events (Fl::check) in the cycles where it may have work: the
// display sent something, a widget waits to be redrawn, and at least every 100th cycle (half a
// second) for its timeouts. The cycle learns that the display sent something from SIGIO, which
// run_plant takes over while it runs; a plant that needs its own toolkit timeouts or
// descriptors served sooner calls Fl::check in a hook. What a cycle painted is sent to the
// display before its pause.
//
// A scenario presses the plant's declared buttons (plant_description::buttons) through the
// exchange area (exchange_area.h): each cycle, before its operator event is taken, the kit takes
// the press or release asked of it, on the window's button of that label, as a person's click
// does: a push button is down (value 1) from the press to the release; a toggle button changes
// at the press; the release calls the button's callback, which puts it into the read queue, so
// the event hook gets it as an operator's. A label the plant did not declare is refused.
//
// The model is meant to live apart from the drawing, so that a test steps
// it without a display through exchange_cycle, as run_plant does.
#ifndef PLANTKIT_PLANT_CYCLE_H
#define PLANTKIT_PLANT_CYCLE_H

#include <functional>

class Fl_Widget;
class Fl_Window;
class IOsharemem_server;
class plant_drawing;
struct plant_description;

struct plant_hooks {
  // An operator event of this cycle: a widget taken from the read queue,
  // never null and never the quit button. Optional.
  std::function<void(Fl_Widget* event)> event;
  // The inputs of this cycle, from the plant as the previous cycle left it.
  // value arrives all 0 and write all true; an input whose write is set to
  // false keeps its last value in the area.
  std::function<void(int* value, bool* write)> inputs;
  // The outputs just read act on the model and advance it one cycle.
  // Returns the alarm text that ends the run, or null.
  std::function<const char*(const int* outputs)> step;
  // Paints the plant: after a step without alarm, while the window is shown
  // (made current). Not called when drawing is given.
  std::function<void()> draw;
  // The plant's picture as parts, painted after a step without alarm where
  // their look changed. Not owned; optional.
  plant_drawing* drawing = nullptr;
  // Parts painted the same way before the inputs are computed: a readout of
  // the state they are computed from. Not owned; optional.
  plant_drawing* readout = nullptr;
  // On every end the cycle makes, once the area tells it (clock -1). Optional.
  std::function<void()> at_end;
};

// One cycle without the toolkit: inputs computed and written, the input
// clock raised, the outputs read, the model stepped. Returns the step's
// alarm text (null: none).
const char* exchange_cycle(const plant_description& plant, const plant_hooks& hooks,
                           IOsharemem_server& server);

// Runs cycles into window until quit is pressed or the window is closed;
// then hides the window, sets the input clock to -1, calls at_end and
// returns 0. An alarm shows its text in a modal alert titled with the
// plant's name (plant.name), hides the window,
// sets the clock to -1, calls at_end and exits with status 1.
int run_plant(const plant_description& plant, const plant_hooks& hooks, IOsharemem_server& server,
              Fl_Window* window, Fl_Widget* quit);

#endif
