// sudz-sorter: a sorting line for a student's controller program.
//
//   sudz-sorter [--seed N] <controleur> [arguments...]
//
// Creates the exchange area, starts the controller in the background with
// "-automemlink <ident>", shows the line and runs it until the user quits.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "objgraphiques/plant_window.h"
#include "plantkit/plant_start.h"
#include "sudz-sorter/sorter_plant.h"
#include "sudz-sorter/sorter_window.h"

namespace {

const char help_text[] =
    "usage: sudz-sorter [--seed N] <controleur> [arguments...]\n"
    "\n"
    "Shows a sorting line and lets a controller program drive it. Boxes, large\n"
    "and small, arrive on a belt when the controller asks for one; a swing gate\n"
    "holds them before the end of the belt, where they fall onto a wagon that\n"
    "takes them to a bin, and an ejector pushes them off the wagon into it.\n"
    "The kinds follow a fixed sequence, or a sequence drawn from the seed N.\n"
    "\n"
    "The arguments form the command that starts the controller; the simulator\n"
    "appends \"-automemlink <ident>\" and runs it in the background. The two meet\n"
    "in a shared-memory exchange area of 12 inputs and 9 outputs:\n"
    "\n"
    "  inputs:  Ent Fin Gd Bo Bf Wg Wc Wd Ch Egr Egs Edr\n"
    "  outputs: Dem Tap BrF BrO WaG WaD EgA EgR EdA\n"
    "\n"
    "Each box delivered is written on standard output, and the counts per bin\n"
    "when the run ends. Exit status: 0 when the run ends by \"Quitter\" or the\n"
    "window is closed, 1 when a box falls to the floor or the area cannot be\n"
    "created. See sudz-sorter(1).\n";

plant_description sorting_line() {
  plant_description d;
  d.name = "sudz-sorter";
  d.help = help_text;
  for (int i = 0; i < sorter_input_count; ++i) d.inputs.emplace_back(sorter_signals[i]);
  for (int k = 0; k < sorter_output_count; ++k)
    d.outputs.emplace_back(sorter_signals[sorter_input_count + k]);
  return d;
}

bool all_digits(const char* s) {
  if (*s == '\0') return false;
  for (; *s; ++s)
    if (*s < '0' || *s > '9') return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const plant_description line = sorting_line();
  // "--seed N" before the controller command chooses the sequence of kinds; it is taken out
  // of the arguments that the controller and the toolkit see.
  std::vector<char*> args(argv, argv + argc);
  box_sequence sequence;
  if (args.size() >= 3 && std::strcmp(args[1], "--seed") == 0) {
    if (!all_digits(args[2])) {
      std::fputs("sudz-sorter: --seed takes a decimal number\n", stderr);
      return 1;
    }
    sequence = box_sequence(static_cast<std::uint32_t>(std::strtoul(args[2], nullptr, 10)));
    args.erase(args.begin() + 1, args.begin() + 3);
  }
  args.push_back(nullptr);
  int count = static_cast<int>(args.size()) - 1;

  IOsharemem_server* server = start_plant(line, count, args.data());
  if (server == nullptr) return 0;

  sorter_window w = build_sorter_window();
  // Lives until the process ends, like the window.
  static sorter_plant* plant = new sorter_plant(w.window, w.window_colour, sequence);
  show_sorter_window(w);
  return run_sorter(line, w, *plant, *server);
}
