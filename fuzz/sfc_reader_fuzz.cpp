// libFuzzer target: any bytes as a chart file go through the reader, the
// checker and, when the chart is sound, a few scans with changing inputs
// and a moving clock. Besides the sanitizers' checks, an error must point
// inside the text and its formatted message must show a caret.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "plcengine/sfc_chart.h"
#include "plcengine/sfc_check.h"
#include "plcengine/sfc_reader.h"
#include "plcengine/sfc_scan.h"

namespace {

void check_place(const std::string& text, const sfc::chart_error& e) {
  if (e.pos.line < 1 || e.pos.column < 1) std::abort();
  const std::string shown = sfc::format_error("f.sfc", text, e);
  if (shown.rfind("f.sfc:", 0) != 0 || shown.find('^') == std::string::npos) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  sfc::chart c;
  sfc::chart_error e;
  if (!sfc::read_chart(text, &c, &e)) {
    check_place(text, e);
    return 0;
  }
  const sfc::plant_names names = sfc::known_plants().front();
  const sfc::check_result r = sfc::check_chart(c, &names);
  for (const sfc::chart_error& x : r.errors) check_place(text, x);
  if (!r.errors.empty()) return 0;
  sfc::chart_scan scan(c, names);
  int inputs[11] = {};
  for (int k = 0; k < 16; ++k) {
    for (int i = 0; i < 11; ++i) inputs[i] = (k >> (i % 4)) & 1;
    scan.scan(inputs, k * 150);
    for (int v : scan.outputs())
      if (v != 0 && v != 1) std::abort();
  }
  return 0;
}
