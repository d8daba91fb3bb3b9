#include "plantkit/plant_start.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>

#include <FL/forms.H>

#include "IOshare/IOsharemem_server.h"
#include "plantkit/end_guard.h"

std::string controller_command(int argc, char** argv) {
  std::string command;
  for (int i = 1; i < argc; ++i) {
    command += argv[i];
    command += ' ';
  }
  return command;
}

std::string launch_text(const std::string& command, int ident) {
  return command + " -automemlink " + std::to_string(ident) + " &";
}

IOsharemem_server* open_plant_area(const plant_description& plant, const std::string& command) {
  if (command.empty()) {
    std::fprintf(stderr, "ERREUR de parametre:\n %s <controleur>\n\n", plant.name.c_str());
    return nullptr;
  }
  const std::list<std::string> inputs(plant.inputs.begin(), plant.inputs.end());
  const std::list<std::string> outputs(plant.outputs.begin(), plant.outputs.end());

  // The area is complete (names, zero values, clock 0, lock free) before
  // the controller can start.
  auto* server = new IOsharemem_server(inputs, outputs);
  const std::string text = launch_text(command, server->memory_ident());
  // Flush first so that buffered output is not written twice by the shell's child.
  std::fflush(nullptr);
  // The trailing "&" makes the shell return at once; a controller that
  // cannot start leaves only the shell's own message.
  int ignored = std::system(text.c_str());
  (void)ignored;
  return server;
}

IOsharemem_server* start_plant(const plant_description& plant, int& argc, char** argv) {
  // A controller program is never called "--help": the one argument asks for help.
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(plant.help.c_str(), stdout);
    return nullptr;
  }
  IOsharemem_server* server = open_plant_area(plant, controller_command(argc, argv));
  if (server == nullptr) {
    std::fputs("probleme interne de memoire\n\n", stderr);
    return nullptr;
  }
  install_end_guard(server);
  fl_initialize(&argc, argv, nullptr, nullptr, 0);
  return server;
}
