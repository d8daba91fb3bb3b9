#include "sudz/startup.h"

#include <cstdio>
#include <cstdlib>
#include <list>

#include "IOshare/IOsharemem_server.h"
#include "sudz/plant.h"

const char table_signaux[22][22] = {
    "T",  "Niv", "Vide", "Tr",  "St",  "Prel", "Lav", "Rinc", "Ess", "T1mt", "T5mt",
    "nF", "H",   "Vo",   "So",  "Pw",  "Vi",   "AvL", "ArL",  "AvR", "T1m",  "T5m"};

int actionneur[11] = {};

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

IOsharemem_server* init_partage_mem(const char* command) {
  if (command == nullptr || command[0] == '\0') {
    std::fputs("ERREUR de parametre:\n sudz <controleur>\n\n", stderr);
    return nullptr;
  }
  std::list<std::string> inputs;
  std::list<std::string> outputs;
  for (int i = 0; i < 11; ++i) inputs.emplace_back(table_signaux[i]);
  for (int i = 11; i < 22; ++i) outputs.emplace_back(table_signaux[i]);

  // The area is complete (names, zero values, clock 0, lock free) before
  // the controller can start.
  auto* server = new IOsharemem_server(inputs, outputs);
  std::string text = launch_text(command, server->memory_ident());
  // Flush first so that buffered output is not written twice by the shell's child.
  std::fflush(nullptr);
  // The trailing "&" makes the shell return at once; a controller that
  // cannot start leaves only the shell's own message.
  int ignored = std::system(text.c_str());
  (void)ignored;
  return server;
}

void actuator_set(IOsharemem_server* server) {
  for (int k = 0; k < 11; ++k) actionneur[k] = server->output_value(k);
}

void publish_inputs(IOsharemem_server* server, const plant_inputs& inputs) {
  for (int i = 0; i < plant_signal_count; ++i) {
    if (inputs.write[i]) server->setreset_input(i, inputs.value[i]);
  }
  server->inputs_go();
}
