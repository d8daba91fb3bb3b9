#include "plantkit/end_guard.h"

#include <csignal>
#include <cstdlib>

#include "IOshare/IOsharemem_server.h"

namespace {

IOsharemem_server* guarded = nullptr;

void terminate_at_exit() {
  if (guarded != nullptr) guarded->sharing_terminate();
}

// sharing_terminate is a single atomic store, safe in a signal handler.
void terminate_on_signal(int sig) {
  if (guarded != nullptr) guarded->sharing_terminate();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

}  // namespace

void install_end_guard(IOsharemem_server* server) {
  guarded = server;
  std::atexit(terminate_at_exit);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
    struct sigaction sa = {};
    sa.sa_handler = terminate_on_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;
    sigaction(sig, &sa, nullptr);
  }
}
