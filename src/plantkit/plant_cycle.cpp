#include "plantkit/plant_cycle.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/forms.H>

#include "IOshare/IOsharemem_server.h"
#include "objgraphiques/plant_drawing.h"
#include "objgraphiques/plant_window.h"
#include "plantkit/plant_start.h"

namespace {

// No side of the area holds more names.
constexpr int max_signals = 41;

int side_count(std::size_t names) {
  return static_cast<int>(std::min<std::size_t>(names, max_signals));
}

[[noreturn]] void alarm_end(const plant_hooks& hooks, IOsharemem_server& server,
                            Fl_Window* window, const char* text) {
  fl_alert("%s", text);
  fl_hide_form(window);
  server.sharing_terminate();
  if (hooks.at_end) hooks.at_end();
  std::exit(1);
}

}  // namespace

const char* exchange_cycle(const plant_description& plant, const plant_hooks& hooks,
                           IOsharemem_server& server) {
  int value[max_signals] = {};
  bool write[max_signals];
  std::fill(write, write + max_signals, true);
  hooks.inputs(value, write);
  const int inputs = side_count(plant.inputs.size());
  for (int i = 0; i < inputs; ++i) {
    if (write[i]) server.setreset_input(i, value[i]);
  }
  server.inputs_go();

  int outputs[max_signals] = {};
  const int count = side_count(plant.outputs.size());
  for (int k = 0; k < count; ++k) outputs[k] = server.output_value(k);
  return hooks.step(outputs);
}

int run_plant(const plant_description& plant, const plant_hooks& hooks, IOsharemem_server& server,
              Fl_Window* window, Fl_Widget* quit) {
  const bool everything = full_redraw_forced();
  // Paints a drawing into the window, made current only when a part is painted: a current
  // window costs a request to the server.
  auto paint = [&](plant_drawing* d, bool all) {
    if (d != nullptr && window->shown()) d->paint(all, window);
  };
  auto* own = dynamic_cast<plant_window*>(window);
  if (own != nullptr) {
    own->on_repaint([&] {
      paint(hooks.readout, true);
      paint(hooks.drawing, true);
    });
  }
  bool quitting = false;
  do {
    if (!window->shown()) quitting = true;
    Fl::check();

    // At most one operator event per cycle.
    Fl_Widget* event = Fl::readqueue();
    if (event != nullptr && event == quit) {
      quitting = true;
    } else if (event != nullptr && hooks.event) {
      hooks.event(event);
    }
    // A window that the toolkit does not repaint through the kit is painted whole every cycle.
    const bool all = everything || own == nullptr;
    paint(hooks.readout, all);
    // A plant painting by itself, or drawing while it steps, finds its window current even
    // when an event's modal dialog has taken the drawing target.
    if (hooks.drawing == nullptr && window->shown()) window->make_current();

    const char* alarm = exchange_cycle(plant, hooks, server);
    if (alarm != nullptr) alarm_end(hooks, server, window, alarm);
    if (hooks.drawing != nullptr) {
      paint(hooks.drawing, all);
    } else if (window->shown() && hooks.draw) {
      hooks.draw();
    }
    usleep(5000);
  } while (!quitting && window->shown());

  if (own != nullptr) own->on_repaint(nullptr);
  if (window->shown()) fl_hide_form(window);
  server.sharing_terminate();
  if (hooks.at_end) hooks.at_end();
  return 0;
}
