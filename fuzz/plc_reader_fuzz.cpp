// libFuzzer target: any bytes as a sudz-plc file (PLCopen XML when they
// start with "<", Structured Text otherwise) go through the reader, the
// choice of the program, the runtime's resolution, the binding to the
// washing machine and, when all is sound, a few scans with changing inputs
// and a moving clock. Besides the sanitizers' checks, an error must name
// the file.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "plcengine/binding.h"
#include "plcengine/project.h"
#include "plcengine/runtime.h"

namespace {

void check_error(const plc::error& e) {
  if (e.text().rfind("f:", 0) != 0 || e.message.empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  plc::project p;
  plc::error e;
  if (!plc::read_project(text, "f", &p, &e)) return check_error(e), 0;
  const plc::program* prog = nullptr;
  if (!plc::choose_program(p, "", &prog, &e)) return check_error(e), 0;
  plc::runtime rt;
  if (!rt.load(*prog, &e)) return check_error(e), 0;
  plc::binding b;
  const plc::plant_signals plant = plc::known_plants()[0];
  if (!plc::bind(rt.prog(), plant, plc::address_map::flat, &b, &e)) return check_error(e), 0;
  for (int scan = 0; scan < 4; ++scan) {
    for (const plc::link& l : b.inputs)
      rt.set(l.var, plc::value::of_int(plc::type::LINT, (scan + l.signal) % 2));
    if (!rt.scan(scan * 700)) return check_error(rt.fault()), 0;
  }
  return 0;
}
