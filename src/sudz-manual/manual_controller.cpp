#include "sudz-manual/manual_controller.h"

#include <vector>

#include "IOshare/IOsharemem_client.h"
#include "formspp/io_panel_window.h"

const char manual_window_title[] = "sudz-manual";

namespace {

void write_outputs(IOsharemem_client& link, const std::vector<int>& v) {
  for (size_t i = 0; i < v.size(); ++i) link.set_output(static_cast<int>(i), v[i]);
  link.outputs_refresh();
}

}  // namespace

void run_manual_controller(IOsharemem_client& link) {
  const int n_in = link.input_count();
  const int n_out = link.output_count();
  OFD_io_panel_window w(OFD_io_panel_window::height_for(n_in > n_out ? n_in : n_out),
                        manual_window_title, "Inputs");
  for (int i = 0; i < n_in; ++i) w.outputs().add(link.input_name(i));
  for (int i = 0; i < n_out; ++i) w.inputs().add(link.output_name(i));
  w.show();

  std::vector<int> inputs(n_in, 2);  // 2: not read yet
  std::vector<int> outputs(n_out, 0);
  for (;;) {
    // The poll pauses 10 ms when nothing is new, which paces this loop.
    const int r = link.receive();
    if (r == -1) return;
    if (r == 1) {
      for (int i = 0; i < n_in; ++i) inputs[i] = link.input_value(i);
      w.outputs().eval(inputs.data());
    }
    int init = 0, quit = 0;
    const bool pressed = w.inputs().poll(&init, &quit, outputs.data()) != 0;
    if (quit || !w.shown()) {
      write_outputs(link, std::vector<int>(n_out, 0));
      return;
    }
    if (pressed && !init) write_outputs(link, outputs);
  }
}
