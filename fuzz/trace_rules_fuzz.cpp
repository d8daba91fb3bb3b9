// libFuzzer target: any bytes as a rules file. What parses is bound to the washing machine's
// names, then stepped through cycles whose signal values come from the same bytes, and asked
// for the alarm that ended the run, as sudz-trace does over a whole run; the responses to the
// rules' steps are judged over the same cycles.
#include <cstdint>
#include <string>
#include <vector>

#include "sudz-trace/trace_overrides.h"
#include "sudz-trace/trace_response.h"
#include "sudz-trace/trace_rules.h"

namespace {

const std::vector<std::string> inputs = {"T",   "Niv",  "Vide", "Tr",   "St",  "Prel",
                                         "Lav", "Rinc", "Ess",  "T1mt", "T5mt"};
const std::vector<std::string> outputs = {"nF",  "H",   "Vo",  "So",  "Pw", "Vi",
                                          "AvL", "ArL", "AvR", "T1m", "T5m"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  trace_rules rules;
  std::string error;
  if (!rules.parse(text, &error) || !rules.bind(inputs, outputs, &error)) return 0;
  std::vector<int> in(inputs.size()), out(outputs.size());
  std::vector<trace_finding> found;
  std::vector<response_step> steps;
  for (const std::string& arg : rules.steps()) {
    override_spec o;
    if (!parse_override("step", arg, &o, &error)) return 0;
    for (size_t i = 0; i < inputs.size(); ++i)
      if (inputs[i] == o.name) steps.push_back({static_cast<int>(i), o.value, o.start, o.text});
  }
  response_judge judge(rules.responses(), steps);
  long cycle = 0;
  for (size_t k = 0; k < size && cycle < 400; ++k, ++cycle) {
    // Each byte moves one signal: values 0, 1 and a few others, negative ones too.
    const uint8_t b = data[k];
    std::vector<int>& side = (b & 1) ? out : in;
    side[(b >> 1) % side.size()] = static_cast<int8_t>(b) / 16;
    rules.cycle(cycle, cycle * 0.005, in, out, &found);
    std::vector<int> state(in);
    state.insert(state.end(), out.begin(), out.end());
    judge.cycle(cycle, cycle * 0.005, state);
  }
  rules.ending_alarm(cycle, in, out);
  judge.judge();
  return 0;
}
