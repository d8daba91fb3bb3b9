// washing_programme: a complete washing programme for the sudz washing machine.
//
// Run it with the simulator:   sudz ./washing_programme
//
// The simulator starts this program with the arguments "-automemlink <ident>" and then, about
// 200 times a second, publishes the machine's 11 inputs (sensors) and reads its 11 outputs
// (actuators). This program is the machine's control unit: it reads the inputs, decides, and
// writes the outputs.
//
// The programme has four steps, shown on the machine by the indicators "Prel", "Lav", "Rinc" and
// "Ess" (pre-wash, wash, rinse, spin). The step changes on each rising edge of the output "nF".
// Inside a step the controller goes through stages:
//
//   pre-wash: fill, detergent "So", turn the drum (short timer), drain        then advance
//   wash:     fill, detergent "Pw", heat, turn the drum (long timer), drain   then advance
//   rinse:    fill, turn the drum (short timer), drain                        then advance
//   spin:     fast drum with the drain open (short timer), then everything off.
//
// Two rules make it safe whatever the operator does:
//   - the inlet valve "Vi" is open only while the tank is below its level "Niv", and the heater
//     "H" is on only while the thermostat "T" is 0: the tank never overflows, the water never
//     boils;
//   - while the door is open ("Tr" is 0) valve, drain, heater and drum are all off; the programme
//     resumes where it was when the door is closed again.
//
// Timing pitfalls handled here:
//   - an output acts one simulator cycle after it is written, and the timers see the outputs of
//     the previous cycle, so an output that must be seen is held for several rounds;
//   - this program polls every 10 ms while the simulator cycles every 5 ms or so: it does not see
//     every cycle. It therefore never counts on seeing a short pulse, and it confirms the step
//     change on the indicators rather than counting its own "nF" pulses.
#include <cstdio>
#include <string>

#include "IOshare/IOsharemem_client.h"

// Each round, every output is computed afresh from the stage; an output not set is 0.
struct commands {
  int nF = 0, H = 0, Vo = 0, So = 0, Pw = 0, Vi = 0, AvL = 0, ArL = 0, AvR = 0, T1m = 0, T5m = 0;
};

enum stage {
  WAIT_START,  // waiting for the door closed and "St" pressed
  FILL,        // inlet valve open until "Niv"
  DETERGENT,   // release the step's detergent
  HEAT,        // heater on until the thermostat "T" says the set point is reached
  ARM_TIMER,   // timer output at 0 until its "elapsed" input is 0: the next 1 is a rising edge
  TURN,        // drum turning, timer output at 1, until the timer's "elapsed" input is 1
  DRAIN,       // drain until "Vide"
  ADVANCE,     // "nF" at 1 until the indicators show the next step
  FINISHED     // programme over: everything off until the simulation ends
};

// What each programme step does.
struct step_recipe {
  const char* name;
  std::string detergent;  // output released after filling ("So" or "Pw"), or "" for none
  bool heat;              // heat the water to the set point
  bool long_timer;        // turn on "T5m"/"T5mt" (30 s) instead of "T1m"/"T1mt" (10 s)
};
const step_recipe programme[4] = {
    {"pre-wash", "So", false, false},
    {"wash", "Pw", true, true},
    {"rinse", "", false, false},
    {"spin", "", false, false},
};

const int HOLD_ROUNDS = 3;    // rounds a pulse is held, so that the simulator surely reads it
const int TURN_ROUNDS = 100;  // rounds before the slow drum changes direction (about 1 s)

const char* stage_name(stage s) {
  switch (s) {
    case WAIT_START:
      return "waiting for the door closed and start";
    case FILL:
      return "filling";
    case DETERGENT:
      return "releasing detergent";
    case HEAT:
      return "heating";
    case ARM_TIMER:
      return "starting the timer";
    case TURN:
      return "drum turning";
    case DRAIN:
      return "draining";
    case ADVANCE:
      return "advancing to the next step";
    case FINISHED:
      return "finished, all off";
  }
  return "?";
}

// The programme step shown by the indicators, or -1 if none is lit.
int indicated_step(IOsharemem_client& io) {
  if (io.input_is_set("Prel") == 1) return 0;
  if (io.input_is_set("Lav") == 1) return 1;
  if (io.input_is_set("Rinc") == 1) return 2;
  if (io.input_is_set("Ess") == 1) return 3;
  return -1;
}

// The stage a step starts with: spin needs no water.
stage first_stage(int step) {
  return step == 3 ? ARM_TIMER : FILL;
}

int timer_elapsed(IOsharemem_client& io, int step) {
  return io.input_is_set(programme[step].long_timer ? "T5mt" : "T1mt");
}

// The stage that follows, given the inputs just received. `rounds` counts the rounds already
// spent in the current stage.
stage next_stage(IOsharemem_client& io, stage s, int& step, int rounds) {
  const step_recipe& r = programme[step];
  switch (s) {
    case WAIT_START:
      if (io.input_is_set("Tr") == 1 && io.input_is_set("St") == 1) {
        step = indicated_step(io) < 0 ? 0 : indicated_step(io);
        return first_stage(step);
      }
      return s;
    case FILL:
      if (io.input_is_set("Niv") != 1) return s;
      if (!r.detergent.empty()) return DETERGENT;
      return r.heat ? HEAT : ARM_TIMER;
    case DETERGENT:
      if (rounds < HOLD_ROUNDS) return s;
      return r.heat ? HEAT : ARM_TIMER;
    case HEAT:
      return io.input_is_set("T") == 1 ? ARM_TIMER : s;
    case ARM_TIMER:
      return (rounds >= HOLD_ROUNDS && timer_elapsed(io, step) == 0) ? TURN : s;
    case TURN:
      if (timer_elapsed(io, step) != 1) return s;
      return step == 3 ? FINISHED : DRAIN;
    case DRAIN:
      return io.input_is_set("Vide") == 1 ? ADVANCE : s;
    case ADVANCE:
      // The simulator has taken the rising edge once the indicators show a later step.
      if (indicated_step(io) > step) {
        step = indicated_step(io);
        return first_stage(step);
      }
      return s;
    case FINISHED:
      return s;
  }
  return s;
}

// The outputs of a stage.
commands outputs_of(IOsharemem_client& io, stage s, int step, int rounds) {
  const step_recipe& r = programme[step];
  commands c;
  bool turning = (s == HEAT || s == ARM_TIMER || s == TURN);
  bool heating = r.heat && (s == HEAT || s == ARM_TIMER || s == TURN);

  if (s == FILL && io.input_is_set("Niv") == 0) c.Vi = 1;  // never above the level
  if (s == DETERGENT && r.detergent == "So") c.So = 1;
  if (s == DETERGENT && r.detergent == "Pw") c.Pw = 1;
  if (heating && io.input_is_set("T") == 0) c.H = 1;  // never above the set point
  if (s == TURN && r.long_timer) c.T5m = 1;
  if (s == TURN && !r.long_timer) c.T1m = 1;
  if (s == DRAIN) c.Vo = 1;
  if (s == ADVANCE) c.nF = 1;
  if (turning && step == 3) {
    c.AvR = 1;  // spin: fast, with the drain open
    c.Vo = 1;
  } else if (turning) {
    // Slow, changing direction every TURN_ROUNDS rounds.
    if ((rounds / TURN_ROUNDS) % 2 == 0)
      c.AvL = 1;
    else
      c.ArL = 1;
  }
  return c;
}

void send(IOsharemem_client& io, const commands& c) {
  io.setreset_output("nF", c.nF);
  io.setreset_output("H", c.H);
  io.setreset_output("Vo", c.Vo);
  io.setreset_output("So", c.So);
  io.setreset_output("Pw", c.Pw);
  io.setreset_output("Vi", c.Vi);
  io.setreset_output("AvL", c.AvL);
  io.setreset_output("ArL", c.ArL);
  io.setreset_output("AvR", c.AvR);
  io.setreset_output("T1m", c.T1m);
  io.setreset_output("T5m", c.T5m);
  io.outputs_refresh();
}

// One line on the terminal at each change, flushed so that it shows at once.
void announce(const std::string& text) {
  std::printf("washing_programme: %s\n", text.c_str());
  std::fflush(stdout);
}

void announce_stage(stage s, int step) {
  if (s == WAIT_START || s == ADVANCE || s == FINISHED)
    announce(stage_name(s));
  else if (s == TURN && step == 3)
    announce("spin: drum spinning fast, drain open");
  else
    announce(std::string(programme[step].name) + ": " + stage_name(s));
}

int main(int argc, char** argv) {
  IOsharemem_client io(automemlink_ident(argc, argv));

  stage s = WAIT_START;
  int step = 0;
  int rounds = 0;  // rounds spent in the current stage (not counting the door pauses)
  bool paused = false;
  announce_stage(s, step);

  // The receive loop: -1 the simulation is over, 0 nothing new yet, 1 new inputs.
  int news;
  while ((news = io.receive()) != -1) {
    if (news == 0) continue;

    bool running = (s != WAIT_START && s != FINISHED);
    if (running && io.input_is_set("Tr") == 0) {
      if (!paused) announce("door open: paused");
      paused = true;
    } else {
      if (paused) {
        announce("door closed: resuming");
        // The timer kept running while the door was open and its "elapsed" window may have
        // passed unseen: start it again.
        paused = false;
        if (s == TURN) {
          s = ARM_TIMER;
          rounds = 0;
          announce_stage(s, step);
        }
      }
      stage next = next_stage(io, s, step, rounds);
      if (next != s) {
        s = next;
        rounds = 0;
        announce_stage(s, step);
      }
      rounds++;
    }

    commands c = outputs_of(io, s, step, rounds);
    if (paused) {
      // Door open: everything off but "nF", which must not drop in the middle of an advance
      // (raising it again would skip a step).
      commands off;
      off.nF = c.nF;
      c = off;
    }
    send(io, c);
  }

  announce("simulation ended");
  return 0;
}
