// The whole gate on a virtual display: the bundled controller lets a car through, and a test
// playing the controller closes the gate onto a car, which is the alarm. Run as
//   test_gate_run <sudz-gate> <gate_programme>
#include <cstdio>
#include <string>

#include <planttest/plant_test.h>

using namespace planttest;

namespace {

// The window's buttons, by their centres.
constexpr int button_y = 270, voiture_x = 305, bouton_x = 405, quitter_x = 505;

void car_through(const std::string& gate, const std::string& programme) {
  plant_process run(gate, {programme, "--attente", "0.3"});
  const std::string w = find_window("portail");
  if (!check(!w.empty(), "the window \"portail\" shows")) return;
  check(run.wait_input("Ff", 1), "the gate starts closed");
  press(w, voiture_x, button_y);
  check(run.wait_input("Cel", 1), "the car reached the gate");
  const int arrived = run.inputs_clock();
  wait_until([&] { return run.inputs_clock() >= arrived + 200; });
  check(run.input("Ff") == 1, "without the button the gate stays closed");
  press(w, bouton_x, button_y);
  check(run.wait_input("Fo", 1), "the button opened the gate");
  check(run.wait_input("Cel", 0), "the car drove through");
  check(run.wait_input("Ff", 1), "the gate closed again");
  press(w, quitter_x, button_y);
  check(run.wait_exit() == 0, "\"Quitter\" ends the run with status 0");
  check(run.inputs_clock() == -1, "the controller is told the run is over");
}

void closing_onto_a_car(const std::string& gate) {
  // "true" stands for the controller: it ends at once, and the test writes the outputs.
  plant_process run(gate, {"true"});
  const std::string w = find_window("portail");
  if (!check(!w.empty(), "the window \"portail\" shows")) return;
  run.set_output("Mo", 1);
  check(run.wait_input("Fo", 1), "opened");
  run.set_output("Mo", 0);
  press(w, voiture_x, button_y);
  check(run.wait_input("Cel", 1), "the car is in the opening");
  run.set_output("Mf", 1);
  const std::string alert = find_window("sudz-gate");
  if (!check(!alert.empty(), "the alarm's alert, titled with the plant's name, shows")) return;
  key(alert, "Return");
  check(run.wait_exit() == 1, "the alarm ends the run with status 1");
  check(run.inputs_clock() == -1, "the controller is told the run is over");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: test_gate_run <sudz-gate> <gate_programme>\n");
    return 2;
  }
  virtual_display display;
  if (!display.ok()) {
    std::fprintf(stderr, "no Xvfb: skipped\n");
    return skipped;
  }
  car_through(argv[1], argv[2]);
  closing_onto_a_car(argv[1]);
  return result();
}
