// sorting_programme: sorts the boxes of the sudz-sorter line, large ones to the left bin and
// small ones to the right bin, without end.
//
// Run it with the simulator:   sudz-sorter ./sorting_programme [--boxes N]
//
// With --boxes N it asks for N boxes only, sorts them and then keeps the line still, every output
// at 0, until the simulation ends (the tests use it so); without it, it asks for boxes for ever.
//
// Two activities run side by side, each a small state machine fed by the inputs of each round:
//
//   feeding: one box at a time travels from the entry to the gate. A box is asked for ("Dem"
//            held at 1 until the box is seen at the entry, "Ent", or at the gate, "Fin") as soon
//            as no other box is on its way; the belt "Tap" always runs, and the closed gate holds
//            the box.
//   sorting: with the wagon under the end of the belt ("Wc"), empty ("Ch" 0) and both ejectors
//            back, a box waiting at the gate ("Fin") is let through: its kind ("Gd") is noted,
//            the gate opens ("BrO" until "Bo"), the box falls onto the wagon ("Ch"), the gate
//            closes again ("BrF" until "Bf"), the wagon runs to its bin ("WaG" until "Wg" for a
//            large box, "WaD" until "Wd" for a small one), the ejector pushes the box off, comes
//            back, and the wagon returns under the belt.
//
// The rules that keep the alarm away: the gate opens only while the wagon stands under the
// belt, and the wagon leaves only with its box on board ("Ch"), so no box ever falls beside it.
//
// Timing: the simulator runs about 200 cycles a second and this program polls every 10 ms, so
// it sees every second cycle or so. It never counts on a single cycle: it holds each command
// until a sensor confirms it, and where no sensor exists (the right ejector is single-acting and
// has no "extended" switch) it counts cycles of the input clock. If "Bf" does not come while the
// gate closes (the arm stopped on a box under it), it opens the gate fully and closes it again.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "IOshare/IOsharemem_client.h"

namespace {

struct commands {
  int Dem = 0, Tap = 0, BrF = 0, BrO = 0, WaG = 0, WaD = 0, EgA = 0, EgR = 0, EdA = 0;
};

enum class stage {
  WAIT_BOX,   // wagon under the belt, waiting for a box at the gate
  OPEN_GATE,  // "BrO" until "Bo"
  WAIT_LOAD,  // gate open, waiting for the box on the wagon
  TO_BIN,     // wagon running to the bin of its box
  PUSH,       // ejector out
  PULL,       // ejector back
  TO_BELT,    // wagon running back under the belt
};

const int RIGHT_PUSH_CYCLES = 75;  // the right ejector's full stroke is 64 cycles
const int ASK_CYCLES = 40;         // longest hold of "Dem"
const int GATE_CYCLES = 60;        // the arm closes in 30 cycles

// The wagon's search for the loading place under the belt.
struct belt_search {
  bool going_left = false;
  int rounds_there = 0;  // consecutive rounds with "Wc"

  // Moves the wagon toward the loading place; true once it has stood there for two rounds, so
  // that it is surely still. A wagon that coasted past the place turns back.
  bool seek(IOsharemem_client& io, commands& c) {
    if (io.input_is_set("Wc") == 1) {
      ++rounds_there;
      return rounds_there >= 2;
    }
    if (rounds_there > 0) going_left = !going_left;
    rounds_there = 0;
    if (io.input_is_set("Wg") == 1) going_left = false;
    if (io.input_is_set("Wd") == 1) going_left = true;
    (going_left ? c.WaG : c.WaD) = 1;
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  long wanted = 0;  // 0: without end
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--boxes") == 0) wanted = std::strtol(argv[i + 1], nullptr, 10);
  }
  IOsharemem_client io(automemlink_ident(argc, argv));

  stage s = stage::WAIT_BOX;
  bool large = false;       // kind of the box let through
  bool box_on_way = false;  // a box is between the entry and the wagon
  bool asking = false;      // "Dem" held
  int ask_start = 0;        // input clock when it was raised
  long asked = 0;           // boxes asked for
  int close_start = 0;      // input clock when the gate began to close
  bool reopening = false;   // the gate overshot or jammed: open it fully, then close again
  belt_search search;
  int push_start = 0;  // input clock when the right ejector started

  int news;
  while ((news = io.receive()) != -1) {
    if (news == 0) continue;
    commands c;
    // The belt runs until every box asked for is sorted and the wagon is back.
    const bool all_sorted = wanted != 0 && asked >= wanted && !box_on_way && s == stage::WAIT_BOX;
    c.Tap = all_sorted ? 0 : 1;
    const int at_entry = io.input_is_set("Ent");

    // Feeding: a box is asked for as soon as none is on its way. "Dem" is held until the box is
    // seen (at the entry, or already at the gate if this program was slow to look) or for at
    // most ASK_CYCLES; the entry is free then, so the line surely feeds it.
    const int clock = io.inputs_clock();
    if (!box_on_way && (wanted == 0 || asked < wanted)) {
      box_on_way = true;
      asking = true;
      ++asked;
      ask_start = clock;
    }
    if (asking && (at_entry == 1 || io.input_is_set("Fin") == 1 || clock - ask_start > ASK_CYCLES))
      asking = false;
    c.Dem = asking ? 1 : 0;

    // Sorting.
    switch (s) {
      case stage::WAIT_BOX:
        if (!search.seek(io, c)) break;
        if (io.input_is_set("Fin") == 1 && io.input_is_set("Ch") == 0 &&
            io.input_is_set("Egr") == 1 && io.input_is_set("Edr") == 1 &&
            io.input_is_set("Bf") == 1) {
          large = io.input_is_set("Gd") == 1;
          s = stage::OPEN_GATE;
        }
        break;
      case stage::OPEN_GATE:
        c.BrO = 1;
        if (io.input_is_set("Bo") == 1) s = stage::WAIT_LOAD;
        break;
      case stage::WAIT_LOAD:
        if (io.input_is_set("Ch") == 1) {
          box_on_way = false;
          s = stage::TO_BIN;
        }
        break;
      case stage::TO_BIN:
        if (large) {
          c.WaG = io.input_is_set("Wg") == 1 ? 0 : 1;
          if (io.input_is_set("Wg") == 1) s = stage::PUSH;
        } else {
          c.WaD = io.input_is_set("Wd") == 1 ? 0 : 1;
          if (io.input_is_set("Wd") == 1) {
            s = stage::PUSH;
            push_start = io.inputs_clock();
          }
        }
        break;
      case stage::PUSH:
        if (large) {
          c.EgA = 1;
          if (io.input_is_set("Egs") == 1) s = stage::PULL;
        } else {
          c.EdA = 1;
          if (io.inputs_clock() - push_start >= RIGHT_PUSH_CYCLES) s = stage::PULL;
        }
        break;
      case stage::PULL:
        if (large) c.EgR = 1;
        if (io.input_is_set(large ? "Egr" : "Edr") == 1) {
          search.going_left = !large;
          search.rounds_there = 0;
          s = stage::TO_BELT;
        }
        break;
      case stage::TO_BELT:
        if (search.seek(io, c)) s = stage::WAIT_BOX;
        break;
    }
    // The gate is closed except while a box is let through. If "Bf" has not come within
    // GATE_CYCLES (the arm stopped on a box under it), the gate is opened fully and closed again.
    const bool letting_through = s == stage::OPEN_GATE || s == stage::WAIT_LOAD;
    if (letting_through || io.input_is_set("Bf") == 1) {
      close_start = clock;
      reopening = false;
    } else if (reopening) {
      c.BrO = 1;
      if (io.input_is_set("Bo") == 1) {
        reopening = false;
        close_start = clock;
      }
    } else {
      c.BrF = 1;
      if (clock - close_start > GATE_CYCLES) reopening = true;
    }

    io.setreset_output("Dem", c.Dem);
    io.setreset_output("Tap", c.Tap);
    io.setreset_output("BrF", c.BrF);
    io.setreset_output("BrO", c.BrO);
    io.setreset_output("WaG", c.WaG);
    io.setreset_output("WaD", c.WaD);
    io.setreset_output("EgA", c.EgA);
    io.setreset_output("EgR", c.EgR);
    io.setreset_output("EdA", c.EdA);
    io.outputs_refresh();
  }
  return 0;
}
