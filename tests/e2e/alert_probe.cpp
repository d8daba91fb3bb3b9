// alert_probe TEXT
// Shows TEXT in the toolkit's alert box, as the simulator's alarms do, so a
// test can compare the two boxes pixel for pixel.
#include <FL/fl_ask.H>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  fl_alert("%s", argv[1]);
  return 0;
}
