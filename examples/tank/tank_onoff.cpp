// tank_onoff: on/off control with hysteresis for the sudz-tank heated tank.
//
// Run it with the simulator:   sudz-tank ./tank_onoff [--ecart-niveau MM] [--ecart-temp DT]
//
// The inlet valve ("Vin") opens fully once the level ("Lt") falls below its set point ("SPl")
// by more than the level's gap (20 mm), and closes once it rises above it by as much; the
// heater ("Pch") does the same around the temperature set point ("SPt") with its gap
// (5, that is 0.5 degC). Between the two thresholds each keeps what it was doing, so that it
// does not chatter on the measurement's noise. The heater is off while the low level switch
// ("Ll") says the water is too low; the stirrer ("Agi") runs whenever the water covers it. On
// manual ("Aut" 0) the outputs stay as they are.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <IOshare/IOsharemem_client.h>

namespace {

// The value after the option, a whole number from 0 to 1000; exits on a bad one.
int gap_option(int argc, char** argv, const char* option, int fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], option) != 0) continue;
    char* end = nullptr;
    const long v = std::strtol(argv[i + 1], &end, 10);
    if (end == argv[i + 1] || *end != '\0' || v < 0 || v > 1000) {
      std::fprintf(stderr, "tank_onoff: %s takes a whole number from 0 to 1000\n", option);
      std::exit(1);
    }
    return static_cast<int>(v);
  }
  return fallback;
}

// On below set_point - gap, off above set_point + gap, unchanged between.
bool hysteresis(bool on, int measure, int set_point, int gap) {
  if (measure < set_point - gap) return true;
  if (measure > set_point + gap) return false;
  return on;
}

}  // namespace

int main(int argc, char** argv) {
  const int level_gap = gap_option(argc, argv, "--ecart-niveau", 20);
  const int temperature_gap = gap_option(argc, argv, "--ecart-temp", 5);
  IOsharemem_client io(automemlink_ident(argc, argv));
  bool filling = false, heating = false;

  int news;
  while ((news = io.receive()) != -1) {
    if (news == 0) continue;
    const bool low = io.input_is_set("Ll") == 1;
    if (io.input_is_set("Aut") == 1) {
      filling = hysteresis(filling, io.input_is_set("Lt"), io.input_is_set("SPl"), level_gap);
      heating = hysteresis(heating, io.input_is_set("Tt"), io.input_is_set("SPt"), temperature_gap);
    }
    io.setreset_output("Vin", filling ? 100 : 0);
    io.setreset_output("Pch", heating && !low ? 100 : 0);
    io.setreset_output("Agi", low ? 0 : 1);
    io.outputs_refresh();
  }
  return 0;
}
