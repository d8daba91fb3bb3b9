// One scan of a 100-rung ladder with 20 timers, as sudz-plc runs it: each
// rung a contact in series with a negated one and a coil, every fifth one
// a TON in the rung; every input changes at every scan.
#include <benchmark/benchmark.h>

#include <string>

#include "plcengine/project.h"
#include "plcengine/runtime.h"

namespace {

std::string var(const std::string& name, const std::string& type) {
  const bool block = type == "TON";
  return "<variable name=\"" + name + "\"><type>" +
         (block ? "<derived name=\"TON\"/>" : "<" + type + "/>") + "</type></variable>";
}

std::string link(int id) {
  return "<connectionPointIn><connection refLocalId=\"" + std::to_string(id) +
         "\"/></connectionPointIn>";
}

std::string ladder() {
  std::string vars, body;
  for (int i = 0; i < 10; ++i) vars += var("in" + std::to_string(i), "BOOL");
  for (int r = 0; r < 100; ++r) vars += var("c" + std::to_string(r), "BOOL");
  for (int k = 0; k < 20; ++k) vars += var("t" + std::to_string(k), "TON");
  int id = 1;
  for (int r = 0; r < 100; ++r) {
    const std::string y = std::to_string(r * 40);
    auto pos = [&](int x) { return "<position x=\"" + std::to_string(x) + "\" y=\"" + y + "\"/>"; };
    const int rail = id++, a = id++, b = id++;
    body += "<leftPowerRail localId=\"" + std::to_string(rail) + "\">" + pos(0) +
            "<connectionPointOut/></leftPowerRail>";
    body += "<contact localId=\"" + std::to_string(a) + "\">" + pos(100) + link(rail) +
            "<variable>in" + std::to_string(r % 10) + "</variable></contact>";
    body += "<contact localId=\"" + std::to_string(b) + "\" negated=\"true\">" + pos(200) +
            link(a) + "<variable>c" + std::to_string((r + 99) % 100) + "</variable></contact>";
    int feed = b;
    if (r % 5 == 0) {
      const int pt = id++, timer = id++;
      body += "<inVariable localId=\"" + std::to_string(pt) + "\">" + pos(250) +
              "<connectionPointOut/><expression>T#50ms</expression></inVariable>";
      body += "<block localId=\"" + std::to_string(timer) + "\" typeName=\"TON\" instanceName=\"t" +
              std::to_string(r / 5) + "\">" + pos(300) +
              "<inputVariables><variable formalParameter=\"IN\">" + link(b) +
              "</variable><variable formalParameter=\"PT\">" + link(pt) +
              "</variable></inputVariables><inOutVariables/><outputVariables>"
              "<variable formalParameter=\"Q\"><connectionPointOut/></variable>"
              "<variable formalParameter=\"ET\"><connectionPointOut/></variable>"
              "</outputVariables></block>";
      feed = timer;
    }
    body += "<coil localId=\"" + std::to_string(id++) + "\">" + pos(400) + link(feed) +
            "<variable>c" + std::to_string(r) + "</variable></coil>";
  }
  return "<project xmlns=\"http://www.plcopen.org/xml/tc6_0201\"><types><pous>"
         "<pou name=\"big\" pouType=\"program\"><interface><localVars>" +
         vars + "</localVars></interface><body><LD>" + body +
         "</LD></body></pou></pous></types></project>";
}

void BM_ScanLadder100Rungs20Timers(benchmark::State& state) {
  plc::project p;
  plc::error e;
  const plc::program* prog = nullptr;
  plc::runtime rt;
  if (!plc::read_project(ladder(), "big.xml", &p, &e) || !plc::choose_program(p, "", &prog, &e) ||
      !rt.load(*prog, &e)) {
    state.SkipWithError(e.text().c_str());
    return;
  }
  int in[10];
  for (int i = 0; i < 10; ++i) in[i] = rt.find("in" + std::to_string(i));
  long long t = 0;
  bool level = false;
  for (auto _ : state) {
    level = !level;
    for (int i = 0; i < 10; ++i) rt.set(in[i], plc::value::of_bool(level != (i % 2 == 0)));
    rt.scan(t);
    t += 7;
  }
  benchmark::DoNotOptimize(rt.get(rt.find("c99")));
}
BENCHMARK(BM_ScanLadder100Rungs20Timers);

}  // namespace

BENCHMARK_MAIN();
