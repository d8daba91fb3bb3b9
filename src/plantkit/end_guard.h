// Tells the controller that the run has ended on every way out of the
// process: exit() from anywhere (the toolkit's own fatal errors included),
// the terminal and session signals, and a crash. Without it a controller
// would poll an area whose simulator is gone.
#ifndef PLANTKIT_END_GUARD_H
#define PLANTKIT_END_GUARD_H

class IOsharemem_server;

// Installs an atexit hook and handlers for SIGINT, SIGTERM, SIGHUP and the
// crash signals. Each sets the input clock to -1; a signal then takes its
// default action, so the exit status still tells which signal ended the run.
void install_end_guard(IOsharemem_server* server);

#endif
