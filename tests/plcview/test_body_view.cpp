// The drawing of a program stepped without a display: the live state of
// each drawn element after scripted scans, the geometry from the file or
// from Graphviz, and the SVG as a real reader renders it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "plcengine/project.h"
#include "plcengine/runtime.h"
#include "plcengine/scan_table.h"
#include "plcview/body_svg.h"
#include "plcview/body_view.h"
#include "plcview/drawn_programs.h"
#include "support/child_process.h"

using namespace plcview;
using namespace plcviewtest;

namespace {

struct loaded {
  plc::runtime rt;
  body_model m;
};

// Reads text as sudz-plc does, then the drawing of its program.
void load(const std::string& text, loaded* out) {
  plc::project proj;
  plc::error err;
  ASSERT_TRUE(plc::read_project(text, "t.xml", &proj, &err)) << err.text();
  const plc::program* p = nullptr;
  ASSERT_TRUE(plc::choose_program(proj, "", &p, &err)) << err.text();
  ASSERT_TRUE(out->rt.load(*p, &err)) << err.text();
  std::string message;
  ASSERT_TRUE(read_body_model(text, out->rt.prog(), &out->m, &message)) << message;
  refresh(out->m, out->rt);
}

const element* by_id(const body_model& m, long id) {
  for (const element& e : m.elements)
    if (e.id == id) return &e;
  return nullptr;
}

// What the drawing shows of "id" (on/off), "id.PIN" (an output pin's
// value), "id<PIN" (the value an input pin receives) or "Ln" (the values
// written after line n of a text: "name:value,...").
std::string shown(const body_model& m, const std::string& what) {
  if (what[0] == 'L') {
    const size_t line = std::atol(what.c_str() + 1) - 1;
    if (line >= m.line_values.size()) return "no line " + what;
    std::string out;
    for (const text_value& v : m.line_values[line])
      out += (out.empty() ? "" : ",") + v.name + ":" + plc::to_text(v.now);
    return out;
  }
  const size_t sep = what.find_first_of(".<");
  const long id = std::atol(what.substr(0, sep).c_str());
  const element* e = by_id(m, id);
  if (e == nullptr) return "no element " + what;
  if (sep == std::string::npos) return e->on() ? "on" : "off";
  const std::string pin = what.substr(sep + 1);
  const auto& pins = what[sep] == '.' ? e->outputs : e->inputs;
  for (size_t k = 0; k < pins.size(); ++k) {
    if (pins[k].name != pin) continue;
    if (what[sep] == '.') return pins[k].known ? plc::to_text(pins[k].now) : "?";
    plc::value v;
    const int index = static_cast<int>(e - m.elements.data());
    return m.input_value(index, static_cast<int>(k), &v) ? plc::to_text(v) : "?";
  }
  return "no pin " + what;
}

struct scan_case {
  const char* set;     // variables set before the scan: "a=TRUE b=FALSE"
  long long t_ms;      // the scan's clock
  const char* expect;  // "2=on 4=off 12.OUT=TRUE 13<PT=T#100ms"
};

void run_scans(const std::string& text, const std::vector<scan_case>& scans) {
  loaded l;
  load(text, &l);
  if (::testing::Test::HasFatalFailure()) return;
  int n = 0;
  for (const scan_case& s : scans) {
    ++n;
    ASSERT_EQ(plctest::step_rows(l.rt, {{s.set, s.t_ms, ""}}), "") << "scan " << n;
    // Every row changes something shown; a second look finds nothing new.
    EXPECT_TRUE(refresh(l.m, l.rt)) << "scan " << n << ": no change found";
    EXPECT_FALSE(refresh(l.m, l.rt)) << "scan " << n << ": a second refresh found a change";
    std::istringstream expect(s.expect);
    for (std::string w; expect >> w;) {
      const size_t eq = w.rfind('=');
      EXPECT_EQ(shown(l.m, w.substr(0, eq)), w.substr(eq + 1)) << "scan " << n << ": " << w;
    }
  }
}

TEST(BodyView, LiveStateOfEachDrawnElement) {
  const drawing d;
  const struct {
    const char* what;
    std::string text;
    std::vector<scan_case> scans;
  } cases[] = {
      {"ladder: series, negated contact, wired OR, rising edge",
       ladder(d),
       {
           {"a=TRUE b=FALSE", 0, "1=on 2=on 3=on 4=on 5=on 6=off 7=on 7<=TRUE 8=on 9=on"},
           {"b=TRUE", 10, "2=on 3=off 4=off 6=on 7=on 8=off 9=off"},
           {"a=FALSE", 20, "2=off 5=off 6=on 7<=TRUE"},
           {"b=FALSE", 30, "3=off 4=off 7=off 7<=FALSE"},
       }},
      {"function blocks: values on every pin, a timer's ET",
       network(d),
       {
           {"a=TRUE b=TRUE", 0, "12<IN1=TRUE 12<IN2=TRUE 12.OUT=TRUE 13<PT=T#100ms 13.Q=FALSE"},
           {"", 60, "13.ET=T#60ms 13.Q=FALSE 20<=TRUE 21<=FALSE"},
           {"b=FALSE", 100, "12<IN2=FALSE 12.OUT=FALSE 13.Q=TRUE 21<=TRUE"},
       }},
      {"Structured Text: the values each line names, comments left out",
       "PROGRAM txt\nVAR a, b, x : BOOL; t : TON; END_VAR\n(* x and b *)\n"
       "t(IN := a, PT := T#50ms);\nx := t.Q OR (b AND b); // x\nEND_PROGRAM\n",
       {
           {"a=TRUE", 0,
            "L1= L2=a:TRUE,b:FALSE,x:FALSE L3= L4=a:TRUE L5=x:FALSE,t.Q:FALSE,b:FALSE"},
           {"", 60, "L5=x:TRUE,t.Q:TRUE,b:FALSE"},
       }},
      {"chart: the active step and its action block",
       chart(d),
       {
           {"", 0, "1=on 3=off 5=off"},
           {"a=TRUE", 10, "1=off 3=on 5=on"},
           {"a=FALSE b=TRUE", 20, "1=on 3=off 5=off"},
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    run_scans(c.text, c.scans);
  }
}

bool overlap(const element& a, const element& b) {
  return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// Where the file saves positions, they are the drawing: the elements where
// the student put them and every line through its saved points. Where all
// are at (0, 0), Graphviz places them apart, along the flow.
TEST(BodyView, GeometryFromTheFileElseFromGraphviz) {
  const struct {
    const char* what;
    std::string drawn, flat;
    bool across;  // the flow goes left to right (else top to bottom)
  } cases[] = {
      {"ladder", ladder(drawing{}), ladder(drawing{true}), true},
      {"function blocks", network(drawing{}), network(drawing{true}), true},
      {"chart", chart(drawing{}), chart(drawing{true}), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    loaded drawn, flat;
    load(c.drawn, &drawn);
    load(c.flat, &flat);
    if (HasFatalFailure()) return;
    EXPECT_FALSE(drawn.m.placed_by_graphviz);
    EXPECT_TRUE(flat.m.placed_by_graphviz);
    ASSERT_EQ(drawn.m.wires.size(), flat.m.wires.size());
    for (const wire& w : drawn.m.wires) {
      // Saved lines run from the producer's point to the consumer's.
      ASSERT_GE(w.points.size(), 2u);
      const pin& to = drawn.m.elements[w.to].inputs[w.to_pin];
      EXPECT_DOUBLE_EQ(w.points.back().x, to.at.x);
      EXPECT_DOUBLE_EQ(w.points.back().y, to.at.y);
    }
    for (size_t i = 0; i < flat.m.elements.size(); ++i)
      for (size_t j = i + 1; j < flat.m.elements.size(); ++j)
        EXPECT_FALSE(overlap(flat.m.elements[i], flat.m.elements[j]))
            << flat.m.elements[i].id << " and " << flat.m.elements[j].id;
    for (const wire& w : flat.m.wires) {
      const element &a = flat.m.elements[w.from], &b = flat.m.elements[w.to];
      if (b.k == element::kind::action_block || b.k == element::kind::right_rail) continue;
      if (c.across)
        EXPECT_LT(a.x, b.x) << a.id << " -> " << b.id;
      else
        EXPECT_LT(a.y, b.y) << a.id << " -> " << b.id;
    }
  }
  // The second contact of the OR is fed from the rail's second output, the
  // one its saved line starts at.
  loaded l;
  load(ladder(drawing{}), &l);
  if (HasFatalFailure()) return;
  for (const wire& w : l.m.wires) {
    if (l.m.elements[w.to].id == 6) {
      EXPECT_DOUBLE_EQ(l.m.elements[w.from].outputs[w.from_pin].at.y, 100);
    }
  }
  // A damaged file cannot make the drawing huge: numbers out of bounds are
  // held at them, and what is not a number counts as 0.
  std::string damaged = ladder(drawing{});
  const std::string at = "<position x=\"80\" y=\"30\"/>";
  damaged.replace(damaged.find(at), at.size(), "<position x=\"1e300\" y=\"nan\"/>");
  const std::string size = "width=\"21\" height=\"20\"";
  damaged.replace(damaged.find(size), size.size(), "width=\"1e308\" height=\"-5\"");
  loaded big;
  load(damaged, &big);
  if (HasFatalFailure()) return;
  const element* e = by_id(big.m, 2);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->x, 20000);
  EXPECT_EQ(e->y, 0);
  EXPECT_LE(e->w, 2000);
  EXPECT_GT(e->h, 0);
  EXPECT_LT(big.m.width, 30000);
}

// The SVG as rsvg-convert renders it: the conducting contact filled green,
// the one that does not conduct left white, names and values escaped.
TEST(BodyView, SvgRenderedByARealReader) {
  loaded l;
  load(ladder(drawing{}, "a", "b", "x", "y"), &l);
  l.rt.set(l.rt.find("a"), plc::value::of_bool(true));
  ASSERT_TRUE(l.rt.scan(0));
  refresh(l.m, l.rt);
  signals s;
  s.input_names = {"a", "b&<c>"};
  s.inputs = {1, 0};
  s.output_names = {"x"};
  s.outputs = {1};
  testsupport::temp_dir dir;
  std::string message;
  ASSERT_TRUE(write_body_svg(l.m, s, dir.file("v.svg"), &message)) << message;
  const std::string png = dir.file("v.png");
  ASSERT_EQ(std::system(("rsvg-convert '" + dir.file("v.svg") + "' -o '" + png + "'").c_str()), 0);
  // Contact 2 (a) conducts, contact 6 (b) does not: the middle of each.
  auto pixel = [&](int x, int y) {
    const std::string command = "convert '" + png + "' -format '%[pixel:p{" + std::to_string(x) +
                                "," + std::to_string(y) + "}]' info:";
    std::string out;
    if (std::FILE* f = popen(command.c_str(), "r")) {
      char buf[128];
      while (std::fgets(buf, sizeof buf, f) != nullptr) out += buf;
      pclose(f);
    }
    return out;
  };
  EXPECT_EQ(pixel(90, 40), "srgb(0,255,0)");
  EXPECT_EQ(pixel(90, 140), "srgb(255,255,255)");
  EXPECT_FALSE(write_body_svg(l.m, s, dir.file("none/v.svg"), &message));
  EXPECT_NE(message.find("cannot write"), std::string::npos);
}

}  // namespace
