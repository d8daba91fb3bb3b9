// The C interface and the Python module: the same signals as the C++ class,
// the same refusals with the same messages and status, and their forms that
// report instead of ending the process.
#include <gtest/gtest.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <climits>

#include "IOshare/IOsharemem_server.h"
#include "IOshare/ioshare_c.h"
#include "support/child_process.h"

namespace {

const std::list<std::string> kInputs = {"T",   "Niv",  "Vide", "Tr",   "St",  "Prel",
                                        "Lav", "Rinc", "Ess",  "T1mt", "T5mt"};
const std::list<std::string> kOutputs = {"nF",  "H",   "Vo",  "So",  "Pw", "Vi",
                                         "AvL", "ArL", "AvR", "T1m", "T5m"};

// /usr/bin/python3, with this build's sanitizer runtimes loaded first when
// the library was built with them.
std::vector<std::string> python() {
#ifdef SANITIZER_PRELOAD
  return {"/usr/bin/env", "LD_PRELOAD=" SANITIZER_PRELOAD, "ASAN_OPTIONS=detect_leaks=0",
          "/usr/bin/python3"};
#else
  return {"/usr/bin/python3"};
#endif
}

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(IOshareC, SignalsByNameAndByNumber) {
  IOsharemem_server s(kInputs, kOutputs);
  ioshare_link* link = ioshare_attach(s.memory_ident());
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(ioshare_input_count(link), 11);
  EXPECT_EQ(ioshare_output_count(link), 11);
  EXPECT_STREQ(ioshare_input_name(link, 1), "Niv");
  EXPECT_STREQ(ioshare_output_name(link, 10), "T5m");
  for (int out_of_range : {-1, 11, INT_MAX}) {
    EXPECT_STREQ(ioshare_input_name(link, out_of_range), "");
    EXPECT_STREQ(ioshare_output_name(link, out_of_range), "");
  }

  EXPECT_EQ(ioshare_receive(link), 0);
  EXPECT_EQ(ioshare_clock(link), 0);
  for (int i = 0; i < 11; ++i) s.setreset_input(i, 10 + i);
  s.inputs_go();
  s.inputs_go();
  EXPECT_EQ(ioshare_input(link, "Niv"), 0) << "before a snapshot";
  EXPECT_EQ(ioshare_receive(link), 1);
  EXPECT_EQ(ioshare_clock(link), 2);
  EXPECT_EQ(ioshare_input(link, "Niv"), 11);
  EXPECT_EQ(ioshare_input(link, "niv"), 0);
  EXPECT_EQ(ioshare_input(link, nullptr), 0);
  int values[12] = {0};
  values[11] = -7;
  EXPECT_EQ(ioshare_inputs(link, values, 12), 11);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(values[i], 10 + i);
  EXPECT_EQ(values[11], -7) << "nothing written past the count";
  EXPECT_EQ(ioshare_inputs(link, values, 0), 0);
  EXPECT_EQ(ioshare_inputs(link, nullptr, 11), 0);

  ioshare_set_output(link, "Vi", 1);
  ioshare_set_output(link, "Vi ", 5);
  ioshare_set_output(link, nullptr, 5);
  EXPECT_EQ(s.output_value(5), 1) << "seen before the refresh";
  EXPECT_EQ(ioshare_outputs(link, values, 11), 11);
  for (int k = 0; k < 11; ++k) EXPECT_EQ(values[k], k == 5 ? 1 : 0) << k;
  ioshare_refresh(link);
  ioshare_refresh(link);
  EXPECT_EQ(s.get_outputs_clock(), 2);

  s.sharing_terminate();
  EXPECT_EQ(ioshare_receive(link), -1);
  ioshare_free(link);
  ioshare_free(nullptr);
}

// Segments for the refusals after the identifier: one that no longer
// exists, one of the wrong size, one with impossible counts.
struct bad_segments {
  int gone, small, counts;
  bad_segments() {
    gone = shmget(IPC_PRIVATE, 4533, 0600);
    shmctl(gone, IPC_RMID, nullptr);
    small = shmget(IPC_PRIVATE, 100, 0600);
    counts = shmget(IPC_PRIVATE, 4533, 0600);
    auto* words = static_cast<int32_t*>(shmat(counts, nullptr, 0));
    words[6] = 42;
    shmdt(words);
  }
  ~bad_segments() {
    shmctl(small, IPC_RMID, nullptr);
    shmctl(counts, IPC_RMID, nullptr);
  }
};

struct refusal {
  std::vector<std::string> args;  // after the program
  int code;                       // ioshare_error
  std::string reason;             // the Python LinkError's
};

std::vector<refusal> refusals(const bad_segments& b) {
  auto link = [](int ident) {
    return std::vector<std::string>{"-automemlink", std::to_string(ident)};
  };
  return {
      {{}, IOSHARE_NO_SWITCH, "no_switch"},
      {{"-automemlink"}, IOSHARE_NO_IDENT, "no_ident"},
      {{"-automemlink", "12x"}, IOSHARE_NOT_DECIMAL, "not_decimal"},
      {{"-automemlink", "0"}, IOSHARE_ZERO_IDENT, "zero_ident"},
      {link(b.gone), IOSHARE_REFUSED, "refused"},
      {link(b.small), IOSHARE_WRONG_SIZE, "wrong_size"},
      {link(b.counts), IOSHARE_WRONG_COUNTS, "wrong_counts"},
  };
}

// Each controller, in C++, in C and in Python, handed something it must not
// attach to, ends with the C++ class's message and status.
TEST(IOshareC, RefusalsEndTheControllerAsTheCppClassDoes) {
  bad_segments b;
  for (const refusal& r : refusals(b)) {
    const testsupport::child_result cpp =
        testsupport::run_program(concat({TEST_CONTROLLER}, r.args));
    ASSERT_TRUE(cpp.exited_with(1)) << r.reason;
    ASSERT_NE(cpp.err.find("IOshare: erreur sur partage memoire\n"), std::string::npos);
    const std::vector<std::vector<std::string>> others = {
        concat({C_CONTROLLER}, r.args),
        concat(python(), concat({PY_CONTROLLER}, r.args)),
    };
    for (const auto& argv : others) {
      const testsupport::child_result other = testsupport::run_program(argv);
      EXPECT_TRUE(other.exited_with(1)) << r.reason << " " << argv.back();
      EXPECT_EQ(other.err, cpp.err) << r.reason;
    }
  }
}

// The line of a C++ refusal: the one between the header and the empty line.
std::string refusal_line(const std::string& err) {
  const std::string head = "IOshare: erreur sur partage memoire\n";
  const size_t at = err.find(head);
  if (at == std::string::npos || err.size() < at + head.size() + 2) return "?";
  return err.substr(at + head.size(), err.size() - at - head.size() - 2);
}

// As library calls, the same refusals come back to the caller, which goes on.
TEST(IOshareC, LibraryCallsReportTheRefusalAndGoOn) {
  bad_segments b;
  const char* kPy =
      "import sys, sudz\n"
      "try:\n"
      "    sudz.Link(argv=sys.argv)\n"
      "except sudz.LinkError as e:\n"
      "    print('%d|%s|%s' % (e.code, e.reason, e), file=sys.stderr)\n";
  for (const refusal& r : refusals(b)) {
    const std::string line =
        refusal_line(testsupport::run_program(concat({TEST_CONTROLLER}, r.args)).err);

    std::vector<std::string> args = concat({"ctrl"}, r.args);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    int error = -1;
    char message[200];
    EXPECT_EQ(ioshare_try_attach_argv(static_cast<int>(args.size()), argv.data(), &error, message,
                                      sizeof message),
              nullptr);
    EXPECT_EQ(error, r.code);
    EXPECT_EQ(message, line);
    char cut[6];  // a short buffer gets the start of the line, terminated
    ioshare_try_attach_argv(static_cast<int>(args.size()), argv.data(), nullptr, cut, sizeof cut);
    EXPECT_EQ(std::string(cut), line.substr(0, 5));

    const testsupport::child_result py = testsupport::run_program(
        concat(concat({"/usr/bin/env", std::string("PYTHONPATH=") + PY_MODULE_DIR}, python()),
               concat({"-c", kPy}, r.args)));
    EXPECT_TRUE(py.exited_with(0)) << py.err;
    const std::string said = std::to_string(r.code) + "|" + r.reason + "|" + line + "\n";
    EXPECT_GE(py.err.size(), said.size());
    EXPECT_EQ(py.err.substr(py.err.size() - std::min(py.err.size(), said.size())), said);
  }
  EXPECT_EQ(ioshare_try_attach(0, nullptr, nullptr, 0), nullptr) << "null out-parameters";
}

// The Python module's own rules, checked by a script against a real
// simulator end: it reads and writes the area, then the test looks.
TEST(SudzModule, ReadsWritesAndRefusesBadValues) {
  IOsharemem_server s(kInputs,
                      {"nF", "H", "Vo", "So", "Pw", "Vi", "AvL", "ArL", "AvR", "T1m", "Vi"});
  for (int i = 0; i < 11; ++i) s.setreset_input(i, 100 + i);
  s.inputs_go();
  s.inputs_go();
  s.inputs_go();
  const testsupport::child_result r = testsupport::run_program(
      concat(concat({"/usr/bin/env", std::string("PYTHONPATH=") + PY_MODULE_DIR}, python()),
             {std::string(SUDZ_SOURCE) + "/tests/IOshare/sudz_module_check.py",
              std::to_string(s.memory_ident())}));
  EXPECT_TRUE(r.exited_with(0)) << r.err;
  EXPECT_EQ(s.output_value(1), 1) << "H from True";
  EXPECT_EQ(s.output_value(5), -5) << "every output named Vi";
  EXPECT_EQ(s.output_value(10), -5);
  EXPECT_EQ(s.output_value(0), 0) << "nothing from refused values";
  EXPECT_EQ(s.get_outputs_clock(), 1);
}

}  // namespace
