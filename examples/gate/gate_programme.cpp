// gate_programme: drives the sudz-gate automatic gate.
//
// Run it with the simulator:   sudz-gate ./gate_programme [--attente S]
//
// The push button ("Bp") opens the gate; once open, it stays so until the beam ("Cel") has been
// clear for 5 seconds (S with --attente), then closes. A beam cut or the button while it closes
// opens it again. The lamp ("Cl") blinks while the leaf moves.
//
// Each motor is held until its end switch answers ("Mo" until "Fo", "Mf" until "Ff"), and the
// two are never on together. Times are measured on the steady clock, as a controller's timers
// are; the program looks at the area every 10 ms.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <IOshare/IOsharemem_client.h>

namespace {

using clock_type = std::chrono::steady_clock;

enum class stage {
  FERME,      // closed, waiting for the button
  OUVERTURE,  // "Mo" until "Fo"
  OUVERT,     // open, waiting for the beam to stay clear
  FERMETURE,  // "Mf" until "Ff"
};

constexpr std::chrono::milliseconds blink_half_period(250);

}  // namespace

int main(int argc, char** argv) {
  double wait_seconds = 5.0;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--attente") != 0) continue;
    char* end = nullptr;
    wait_seconds = std::strtod(argv[i + 1], &end);
    if (end == argv[i + 1] || *end != '\0' || !(wait_seconds >= 0.0 && wait_seconds <= 3600.0)) {
      std::fprintf(stderr, "gate_programme: --attente takes seconds, from 0 to 3600\n");
      return 1;
    }
  }
  const auto wait = std::chrono::duration_cast<clock_type::duration>(
      std::chrono::duration<double>(wait_seconds));
  IOsharemem_client io(automemlink_ident(argc, argv));

  stage s = stage::FERME;
  bool started = false;
  clock_type::time_point clear_since = clock_type::now();
  const clock_type::time_point origin = clear_since;

  int news;
  while ((news = io.receive()) != -1) {
    if (news == 0) continue;
    const bool button = io.input_is_set("Bp") == 1;
    const bool open = io.input_is_set("Fo") == 1;
    const bool closed = io.input_is_set("Ff") == 1;
    const bool beam_cut = io.input_is_set("Cel") == 1;
    const clock_type::time_point now = clock_type::now();
    // A gate found part-open at the start is closed as after a passage.
    if (!started) {
      started = true;
      if (!closed) s = stage::OUVERT;
    }

    switch (s) {
      case stage::FERME:
        if (button) s = stage::OUVERTURE;
        break;
      case stage::OUVERTURE:
        if (open) {
          s = stage::OUVERT;
          clear_since = now;
        }
        break;
      case stage::OUVERT:
        if (beam_cut || button) clear_since = now;
        if (now - clear_since >= wait) s = stage::FERMETURE;
        break;
      case stage::FERMETURE:
        if (beam_cut || button) {
          s = stage::OUVERTURE;
        } else if (closed) {
          s = stage::FERME;
        }
        break;
    }

    const bool opening = s == stage::OUVERTURE && !open;
    const bool closing = s == stage::FERMETURE && !closed;
    const bool lamp_phase = ((now - origin) / blink_half_period) % 2 == 0;
    io.setreset_output("Mo", opening ? 1 : 0);
    io.setreset_output("Mf", closing ? 1 : 0);
    io.setreset_output("Cl", (opening || closing) && lamp_phase ? 1 : 0);
    io.outputs_refresh();
  }
  return 0;
}
