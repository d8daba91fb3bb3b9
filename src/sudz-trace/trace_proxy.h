// The proxy between a simulator and the student's controller.
//
// It attaches to the simulator's exchange area (upstream), creates a second
// area with the same names (downstream), and launches the student's
// controller on it with the launch text the simulator uses, each of the
// controller's words quoted so that it arrives as this proxy got it. Then it polls
// both areas: each new set of inputs goes down
// (through the overrides), with the downstream clock raised to the
// simulator's cycle number, and each change of the controller's outputs
// goes up, as does each output refresh. Every change is recorded. It looks
// often around the moment the next cycle is due and at most poll_us apart
// otherwise (poll_schedule.h).
//
// The run ends when the simulator ends (input clock -1) or vanishes, when
// the proxy is asked to stop (SIGTERM, SIGINT, SIGHUP), or, on request,
// after a time or once the outputs have rested: then the proxy sends
// SIGTERM to the simulator and waits for its end. On every end, crashes
// included, the downstream clock is set to -1 so the controller ends.
// The proxy never kills the controller; it adopts it (child subreaper) to
// learn how it ended.
#ifndef SUDZ_TRACE_TRACE_PROXY_H
#define SUDZ_TRACE_TRACE_PROXY_H

#include <string>
#include <vector>

#include "sudz-trace/trace_overrides.h"
#include "sudz-trace/trace_record.h"
#include "sudz-trace/trace_rules.h"

struct proxy_config {
  int upstream_ident = 0;
  std::vector<std::string> controller;  // command words, without "-automemlink"
  std::vector<override_spec> overrides;
  std::string rules_text = washing_machine_rules;
  double stop_after = -1;  // seconds; < 0 never
  double stop_idle = -1;   // seconds with every output at 0; < 0 never
  long poll_us = 750;      // longest pause between two looks
};

// Sends SIGTERM to the simulator whose exchange area is ident, when ident
// names one (a segment of the area's size made by another process): a proxy
// that cannot run ends its simulator, which would otherwise wait for a
// controller that never comes. Does nothing for 0.
void end_simulator(int ident);

// Runs the whole proxy and fills record. Returns 0, or the signal that
// asked it to stop. Set-up failures, and a press the plant cannot take,
// write a message, end the simulator and exit with status 1.
int run_proxy(const proxy_config& config, trace_record* record);

#endif
