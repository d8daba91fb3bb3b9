#include "sudz-panel/manual_plant.h"

#include <vector>

#include <FL/Fl.H>

#include "IOshare/IOsharemem_server.h"
#include "formspp/io_panel_window.h"

const char panel_window_title[] = "sudz-panel";

namespace {

// Longest pause between two readings of the outputs: events end it at once.
constexpr double kOutputsPeriod = 0.02;

}  // namespace

void run_manual_plant(IOsharemem_server& server, const std::list<std::string>& inputs,
                      const std::list<std::string>& outputs) {
  const int n_in = static_cast<int>(inputs.size());
  const int n_out = static_cast<int>(outputs.size());
  OFD_io_panel_window w(OFD_io_panel_window::height_for(n_in > n_out ? n_in : n_out),
                        panel_window_title, "Outputs");
  for (const auto& name : outputs) w.outputs().add(name);
  for (const auto& name : inputs) w.inputs().add(name);
  w.show();

  std::vector<int> in_values(n_in, 0);
  std::vector<int> out_values(n_out, 0);
  for (;;) {
    for (int k = 0; k < n_out; ++k) out_values[k] = server.output_value(k);
    w.outputs().eval(out_values.data());
    int init = 0, quit = 0;
    const bool pressed = w.inputs().poll(&init, &quit, in_values.data()) != 0;
    if (quit || !w.shown()) return;
    if (pressed && !init) {
      for (int i = 0; i < n_in; ++i) server.setreset_input(i, in_values[i]);
      server.inputs_go();
    }
    Fl::wait(kOutputsPeriod);
  }
}
