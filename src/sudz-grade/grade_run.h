// One graded run: a private Xvfb, the plant started with sudz-trace between
// it and the controller, its alarm boxes answered, its time limit kept, and
// everything it started ended and removed afterwards.
//
// Every process of the run carries a marker in its environment
// (SUDZ_GRADE_RUN=<token>), so that all of them (the simulator, the proxy,
// the controller and anything it started, whatever their parents) are
// found and ended however the run went. Exchange areas made by any of
// them and still there at the end are removed. The run's processes get a
// temporary folder of their own as TMPDIR, removed at the end, and the
// Xvfb runs with no marker: sudz-grade ends it itself.
//
// Every argument handed to the plant is quoted for the shell that starts
// its controller, so that the proxy and the controller get each path and
// word as it is. A run whose proxy has gone while the plant still runs is
// ended at once: the plant would wait for a controller until its time limit.
//
// Runs share nothing but the output folder, so several go at once, each on
// a thread of its own. When stop becomes true a run ends at once, leaving
// nothing behind, and its row is not to be used.
#ifndef SUDZ_GRADE_GRADE_RUN_H
#define SUDZ_GRADE_GRADE_RUN_H

#include <atomic>
#include <string>

#include "sudz-grade/grade_options.h"
#include "sudz-grade/grade_result.h"

// Grades submission number n (from 1) into out/n-name/.
grade_row grade_one(const grade_options& o, const submission& s, int n,
                    const std::atomic<bool>& stop);

// Blocks in the calling thread the signals that end sudz-grade, so that
// only the thread waiting for them receives them; processes started by a
// run get them back.
void block_end_signals();

#endif
