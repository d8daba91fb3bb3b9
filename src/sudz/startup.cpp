#include "sudz/startup.h"

#include "IOshare/IOsharemem_server.h"
#include "sudz/plant.h"

const char table_signaux[22][22] = {
    "T",  "Niv", "Vide", "Tr",  "St",  "Prel", "Lav", "Rinc", "Ess", "T1mt", "T5mt",
    "nF", "H",   "Vo",   "So",  "Pw",  "Vi",   "AvL", "ArL",  "AvR", "T1m",  "T5m"};

int actionneur[11] = {};

namespace {

const char help_text[] =
    "usage: sudz <controleur> [arguments...]\n"
    "\n"
    "Shows a washing machine and lets a controller program drive it.\n"
    "The arguments form the command that starts the controller; the simulator\n"
    "appends \"-automemlink <ident>\" and runs it in the background. The two meet\n"
    "in a shared-memory exchange area of 11 inputs and 11 outputs:\n"
    "\n"
    "  inputs:  T Niv Vide Tr St Prel Lav Rinc Ess T1mt T5mt\n"
    "  outputs: nF H Vo So Pw Vi AvL ArL AvR T1m T5m\n"
    "\n"
    "Exit status: 0 when the run ends by \"Quitter\" or the window is closed,\n"
    "1 after the boiling or overflow alarm or when the area cannot be created.\n"
    "See sudz(1).\n";

plant_description describe_machine() {
  plant_description d;
  d.name = "sudz";
  d.help = help_text;
  for (int i = 0; i < 11; ++i) d.inputs.emplace_back(table_signaux[i]);
  for (int i = 11; i < 22; ++i) d.outputs.emplace_back(table_signaux[i]);
  // What a scenario may press: not "A propos", whose dialog holds the cycle, nor "Quitter".
  d.buttons = {"Ouvrir", "Charger", "Demarrer", "Timer 1 min termine", "Timer 5 min termine"};
  return d;
}

}  // namespace

const plant_description& washing_machine() {
  static const plant_description d = describe_machine();
  return d;
}

IOsharemem_server* init_partage_mem(const char* command) {
  return open_plant_area(washing_machine(), command != nullptr ? command : "");
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
