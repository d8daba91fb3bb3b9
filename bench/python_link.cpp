// python_link SCRIPT: one controller round (input clock raised, snapshot,
// 11 inputs read by name, 11 outputs written, refresh) through the C++
// class, through the C interface, and in Python (SCRIPT, run by
// /usr/bin/python3 with the module sudz of this build), side by side.
// Prints each figure and the ratio of Python to C++.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>

#include "IOshare/IOsharemem_client.h"
#include "IOshare/IOsharemem_server.h"
#include "IOshare/ioshare_c.h"

namespace {

const char* const kInputs[] = {"T",   "Niv",  "Vide", "Tr",   "St",  "Prel",
                               "Lav", "Rinc", "Ess",  "T1mt", "T5mt"};
const char* const kOutputs[] = {"nF",  "H",   "Vo",  "So",  "Pw", "Vi",
                                "AvL", "ArL", "AvR", "T1m", "T5m"};
constexpr int kRounds = 20000;

// Best mean of five runs of kRounds rounds, in nanoseconds per round.
template <typename Round>
double best_ns(Round round) {
  double best = 1e18;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) round();
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    if (ns / kRounds < best) best = ns / kRounds;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: python_link SCRIPT\n");
    return 2;
  }
  IOsharemem_server s(std::list<std::string>(std::begin(kInputs), std::end(kInputs)),
                      std::list<std::string>(std::begin(kOutputs), std::end(kOutputs)));
  const int ident = s.memory_ident();
  int failures = 0;

  IOsharemem_client cpp(ident);
  const double cpp_ns = best_ns([&] {
    s.inputs_go();
    if (cpp.receive() != 1) ++failures;
    int v[11];
    for (int i = 0; i < 11; ++i) v[i] = cpp.input_is_set(kInputs[i]);
    for (int k = 0; k < 11; ++k) cpp.setreset_output(kOutputs[k], v[k] ^ 1);
    cpp.outputs_refresh();
  });

  ioshare_link* c = ioshare_attach(ident);
  const double c_ns = best_ns([&] {
    s.inputs_go();
    if (ioshare_receive(c) != 1) ++failures;
    int v[11];
    for (int i = 0; i < 11; ++i) v[i] = ioshare_input(c, kInputs[i]);
    for (int k = 0; k < 11; ++k) ioshare_set_output(c, kOutputs[k], v[k] ^ 1);
    ioshare_refresh(c);
  });
  ioshare_free(c);

  const std::string command = "/usr/bin/python3 '" + std::string(argv[1]) + "' " +
                              std::to_string(ident) + " " + std::to_string(kRounds / 4) +
                              " 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  double py_name = 0, py_dict = 0;
  char label[32];
  long ns = 0;
  while (p != nullptr && std::fscanf(p, "%31s %ld", label, &ns) == 2) {
    if (std::string(label) == "by_name") py_name = static_cast<double>(ns);
    if (std::string(label) == "dict") py_dict = static_cast<double>(ns);
  }
  const int status = p != nullptr ? pclose(p) : -1;
  s.sharing_terminate();
  if (failures > 0 || status != 0 || py_name <= 0 || py_dict <= 0) {
    std::fprintf(stderr, "python_link: a round failed (status %d)\n", status);
    return 1;
  }
  std::printf("one controller round, 11 inputs and 11 outputs (best of 5 x %d rounds)\n", kRounds);
  std::printf("  C++ class                 %8.2f us\n", cpp_ns / 1000);
  std::printf("  C interface               %8.2f us\n", c_ns / 1000);
  std::printf("  Python, input() by name   %8.2f us  (%.0fx the C++ class; goal: under 50 us)\n",
              py_name / 1000, py_name / cpp_ns);
  std::printf("  Python, inputs() dict     %8.2f us  (%.0fx the C++ class)\n", py_dict / 1000,
              py_dict / cpp_ns);
  return 0;
}
