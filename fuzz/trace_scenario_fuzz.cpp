// libFuzzer target: any bytes as a scenario file. What parses is bound to the washing machine's
// inputs and timers and applied over a run whose times and values come from the same bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "sudz-trace/trace_overrides.h"

namespace {

const std::vector<std::string> inputs = {"T",   "Niv",  "Vide", "Tr",   "St",  "Prel",
                                         "Lav", "Rinc", "Ess",  "T1mt", "T5mt"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<override_spec> specs;
  std::string error;
  if (!parse_scenario(text, &specs, &error)) return 0;
  trace_timer t1, t5;
  t1.output = "T1m", t1.input = "T1mt", t1.output_index = 9, t1.input_index = 9;
  t5.output = "T5m", t5.input = "T5mt", t5.output_index = 10, t5.input_index = 10;
  input_view view(specs);
  if (!view.bind(inputs, {t1, t5}, &error)) return 0;
  view.touched_inputs();
  std::vector<int> plant(inputs.size()), outputs(11);
  double t = 0;
  for (size_t k = 0; k < size && k < 400; ++k) {
    const uint8_t b = data[k];
    t += (b % 7) * 0.5;
    outputs[b % outputs.size()] = b & 1;
    plant[(b >> 1) % plant.size()] = static_cast<int8_t>(b) / 32;
    view.outputs_forwarded(outputs, t);
    view.frozen(t);
    if (view.apply(plant, t).size() != plant.size()) __builtin_trap();
  }
  return 0;
}
