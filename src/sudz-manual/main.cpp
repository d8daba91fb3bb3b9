// sudz-manual: a controller driven by hand.
//
//   sudz sudz-manual
//
// Started by a simulator, which appends "-automemlink <ident>". Shows the simulator's inputs
// live and sends the outputs that the operator ticks.
#include <cstdio>
#include <cstring>

#include "IOshare/IOsharemem_client.h"
#include "sudz-manual/manual_controller.h"

namespace {

const char help_text[] =
    "usage: sudz sudz-manual\n"
    "\n"
    "A controller driven by hand. A simulator starts it with \"-automemlink <ident>\";\n"
    "it opens one window:\n"
    "  left:  the simulator's inputs, live (blue 1, yellow 0, red not read yet);\n"
    "  right: a tick per output to send. \"GO\" writes them (ticks marked \"Sticky\"\n"
    "         stay, the others are sent once), \"INIT\" clears the ticks, \"QUIT\" sets\n"
    "         every output to 0 and ends.\n"
    "It ends, closing its window, when the simulation ends. See sudz-manual(1).\n";

bool has_link(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-automemlink") == 0) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(help_text, stdout);
    return 0;
  }
  if (!has_link(argc, argv)) {
    std::fputs("sudz-manual: no exchange area; start it from a simulator: sudz sudz-manual\n",
               stderr);
    return 1;
  }
  IOsharemem_client link(automemlink_ident(argc, argv));
  run_manual_controller(link);
  return 0;
}
