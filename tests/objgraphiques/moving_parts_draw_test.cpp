// The moving-part library's arithmetic, checked against the drawing calls it makes (recorded
// without a display) and the positions it leaves, one table per family.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <FL/fl_draw.H>

#include "formspp/recording_driver.h"
#include "objgraphiques/belts.h"
#include "objgraphiques/jacks.h"
#include "objgraphiques/movepart.h"
#include "objgraphiques/wagons.h"

namespace {

using calls = std::vector<std::string>;

const unsigned bg = 49u;

calls record(const std::function<void()>& draw) {
  recording_surface rec;
  draw();
  return rec.recorder.calls;
}

std::string box(const char* kind, int x, int y, int w, int h) {
  std::ostringstream s;
  s << kind << ' ' << x << ' ' << y << ' ' << w << ' ' << h;
  return s.str();
}

// A fill in a colour, as the colour-taking fl_rectf records it.
calls fill(unsigned colour, int x, int y, int w, int h) {
  return {"color " + std::to_string(colour), box("rectf", x, y, w, h)};
}

calls operator+(calls a, const calls& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// ------------------------------------------------------------------------------ movepart

TEST(MovepartMove, ErasesTheUncoveredStripAndRepaints) {
  // One element of 5 by 4 at offset (10, 20) of an origin at (0, 0), colour 95. The whole-pixel
  // strips are checked in pixels, except the downward one, whose last row is painted over.
  struct row {
    const char* what;
    double dx, dy;
    calls expected;
  };
  const row rows[] = {
      {"down by 2", 0.0, 2.0, fill(bg, 10, 20, 5, 3) + fill(95, 10, 22, 5, 4)},
      {"right by a half: rounded away from zero", 0.5, 0.0,
       fill(bg, 9, 20, 2, 4) + fill(95, 11, 20, 5, 4)},
      {"up by 1.5: strip truncated, place rounded", 0.0, -1.5,
       fill(bg, 10, 23, 5, 1) + fill(95, 10, 19, 5, 4)},
      {"diagonal: both strips, the element twice; the vertical strip at the old x", 1.0, 1.0,
       fill(bg, 9, 20, 2, 4) + fill(95, 11, 21, 5, 4) + fill(bg, 10, 20, 5, 2) +
           fill(95, 11, 21, 5, 4)},
      {"no step: nothing", 0.0, 0.0, {}},
  };
  for (const row& r : rows) {
    movepart_manager m;
    movepart p(m, nullptr, bg);
    p.add(10, 20, 5, 4, 95);
    int result = -1;
    EXPECT_EQ(record([&] { result = p.moveredraw(r.dx, r.dy); }), r.expected) << r.what;
    EXPECT_EQ(result, 0) << r.what;
    EXPECT_DOUBLE_EQ(p.xpos(), r.dx) << r.what;
    EXPECT_DOUBLE_EQ(p.ypos(), r.dy) << r.what;
  }
}

TEST(MovepartMove, CollisionsRefuseTheMoveAndDrawNothing) {
  struct row {
    const char* what;
    double bx, by;  // second piece's offset; the first is a 10 by 10 at (0, 0)
    double dx, dy;  // move of the second piece
    int refused;
  };
  const row rows[] = {
      {"side by side on a row: edges shared", 10, 0, 0.0, 0.0, 0},
      {"half a pixel closer: its box starts at trunc(9.5) = 9", 10, 0, -0.5, 0.0, 1},
      {"a fall onto a piece whose top it touches", 0, -10, 0.0, 1.0, 1},
      {"a fall with a pixel of room", 0, -11, 0.0, 1.0, 0},
      {"moving away", 10, 0, 3.0, 0.0, 0},
  };
  for (const row& r : rows) {
    movepart_manager m;
    movepart a(m, nullptr, bg);
    a.add(0, 0, 10, 10, 95);
    movepart b(m, nullptr, bg);
    b.add(0, 0, 10, 10, 216);
    record([&] { ASSERT_EQ(b.moveredraw(r.bx, r.by), 0) << r.what; });
    int result = -1;
    calls drawn = record([&] { result = b.moveredraw(r.dx, r.dy); });
    EXPECT_EQ(result, r.refused) << r.what;
    if (r.refused) {
      EXPECT_TRUE(drawn.empty()) << r.what;
      EXPECT_EQ(b.xpos(), r.bx) << r.what;
      EXPECT_EQ(b.ypos(), r.by) << r.what;
    }
  }
}

TEST(MovepartMove, CarriedPieceMovesFirstAndAllOrNothing) {
  movepart_manager m;
  movepart floor_piece(m, nullptr, bg);  // blocks the carrier only
  floor_piece.add(30, 0, 10, 10, 56);
  movepart wall(m, nullptr, bg);  // blocks the carried piece only
  wall.add(30, -20, 10, 10, 56);
  auto* carrier = new movepart(m, nullptr, bg);
  carrier->add(0, 0, 20, 10, 95);
  auto* load = new movepart(m, nullptr, bg);
  load->add(0, -10, 5, 10, 216);
  carrier->link(load);
  recording_surface rec;

  // The load is 25 pixels from the wall, the carrier 10 from the floor piece: at 11 the carrier
  // is blocked after its load moved, and the load is put back.
  EXPECT_EQ(carrier->moveredraw(11.0, 0.0), 1);
  EXPECT_EQ(carrier->xpos(), 0.0);
  EXPECT_EQ(load->xpos(), 0.0);
  EXPECT_EQ(carrier->moveredraw(10.0, 0.0), 0);
  EXPECT_EQ(load->xpos(), 10.0);
  // Carried pieces do not fall; the manager lets fall only free ones.
  load->fall();
  EXPECT_EQ(load->ypos(), 0.0);
  // A load resting on its carrier moves first without meeting it: the pair goes down together.
  m.parts_fall();
  EXPECT_EQ(carrier->ypos(), 1.0);
  EXPECT_EQ(load->ypos(), 1.0);
  EXPECT_EQ(carrier->moveredraw(0.0, -1.0), 0);
  EXPECT_EQ(load->ypos(), 0.0);
  // A load blocked by the wall stops its carrier.
  movepart_manager m2;
  movepart blocker(m2, nullptr, bg);
  blocker.add(8, -10, 2, 2, 56);
  movepart* c2 = new movepart(m2, nullptr, bg);
  c2->add(0, 0, 20, 10, 95);
  movepart* l2 = new movepart(m2, nullptr, bg);
  l2->add(0, -10, 5, 10, 216);
  c2->link(l2);
  EXPECT_EQ(c2->moveredraw(4.0, 0.0), 1);
  EXPECT_EQ(c2->xpos(), 0.0);
  delete c2;  // destroys its load too
  EXPECT_EQ(m2.part_count(), 1);
  delete carrier;
  EXPECT_EQ(m.part_count(), 2);
}

TEST(MovepartMove, CarrierAndCarriedNeverCollideWithEachOther) {
  // A cabin: floor, two posts and a roof around a hollow of 20 by 20 at (2, 2); a door of 6 by
  // 20 flush inside it against the floor and the left post. A wall stands 5 pixels right of
  // the cabin, a beam 5 pixels above its roof.
  struct row {
    const char* what;
    bool door_alone;  // the door moves on its own, else the cabin with it
    bool linked;
    double dx, dy;
    int refused;
  };
  const row rows[] = {
      {"cabin down, its door flush on the floor", false, true, 0.0, 1.0, 0},
      {"cabin up, by half a pixel", false, true, 0.0, -0.5, 0},
      {"cabin left", false, true, -2.0, 0.0, 0},
      {"cabin into the wall", false, true, 6.0, 0.0, 1},
      {"door slides inside its cabin", true, true, 3.0, 0.0, 0},
      {"door pressed into its cabin's post", true, true, -1.0, 0.0, 0},
      {"door through the roof into the beam", true, true, 0.0, -8.0, 1},
      {"let go, the door meets the floor again", true, false, 0.0, 1.0, 1},
  };
  for (const row& r : rows) {
    movepart_manager m;
    movepart wall(m, nullptr, bg);
    wall.add(29, 0, 5, 24, 56);
    movepart beam(m, nullptr, bg);
    beam.add(0, -7, 24, 2, 56);
    movepart cabin(m, nullptr, bg);
    cabin.add(0, 22, 24, 2, 95);  // floor
    cabin.add(0, 2, 2, 20, 95);   // posts
    cabin.add(22, 2, 2, 20, 95);
    cabin.add(0, 0, 24, 2, 95);  // roof
    auto* door = new movepart(m, nullptr, bg);
    door->add(2, 2, 6, 20, 216);
    cabin.link(door);
    if (!r.linked) cabin.unlink();
    std::unique_ptr<movepart> owned(r.linked ? nullptr : door);
    int result = -1;
    record([&] { result = (r.door_alone ? door : &cabin)->moveredraw(r.dx, r.dy); });
    EXPECT_EQ(result, r.refused) << r.what;
    const double moved = r.refused ? 0.0 : 1.0;
    EXPECT_DOUBLE_EQ(door->xpos(), r.dx * moved) << r.what;
    EXPECT_DOUBLE_EQ(door->ypos(), r.dy * moved) << r.what;
    if (!r.door_alone) {
      EXPECT_DOUBLE_EQ(cabin.ypos(), r.dy * moved) << r.what;
    }
  }
}

TEST(MovepartPlace, AbsmoveTruncatesAndErasesTheWholeOldPlace) {
  movepart_manager m;
  movepart p(m, nullptr, bg);
  p.add(3, 4, 5, 5, 95);
  p.add(10, 4, 2, 2, 88);
  EXPECT_EQ(record([&] { EXPECT_EQ(p.absmoveredraw(20.7, 30.2), 0); }),
            fill(bg, 3, 4, 5, 5) + fill(bg, 10, 4, 2, 2) + fill(95, 20, 30, 5, 5) +
                fill(88, 27, 30, 2, 2));
  EXPECT_DOUBLE_EQ(p.xpos(), 17.7);
  EXPECT_DOUBLE_EQ(p.ypos(), 26.2);
  // Refused: erased, then repainted at the old place.
  movepart other(m, nullptr, bg);
  other.add(100, 100, 10, 10, 56);
  EXPECT_EQ(record([&] { EXPECT_EQ(p.absmoveredraw(98, 98), 1); }),
            fill(bg, 20, 30, 5, 5) + fill(bg, 27, 30, 2, 2) + fill(95, 20, 30, 5, 5) +
                fill(88, 27, 30, 2, 2));
}

TEST(MovepartBounds, FirstAndLastPositionsAndGaps) {
  movepart_manager m;
  movepart p(m, nullptr, bg);
  p.add(-3, 2, 5, 4, 95);
  p.add(4, -1, 2, 2, 95);
  record([&] { p.moveredraw(10.7, 20.5); });
  struct row {
    const char* what;
    double value, expected;
  };
  const row rows[] = {
      {"first x", p.actual_precision_first_xpos(), 7.7},
      {"first y", p.actual_precision_first_ypos(), 19.5},
      {"last x: offset plus width", p.actual_precision_last_xpos(), 16.7},
      {"last y: offset plus height", p.actual_precision_last_ypos(), 26.5},
      {"first x truncated", 1.0 * p.actual_first_xpos(), 7},
      {"first y truncated", 1.0 * p.actual_first_ypos(), 19},
  };
  for (const row& r : rows) EXPECT_DOUBLE_EQ(r.value, r.expected) << r.what;

  movepart empty(m, nullptr, bg);
  EXPECT_EQ(empty.actual_precision_first_ypos(), 2000.0);  // search start, no check

  movepart a(m, nullptr, bg), b(m, nullptr, bg);
  a.add(0, 0, 10, 10, 95);
  b.add(20, 15.6, 10, 10, 95);  // beside a: only the vertical spans count
  EXPECT_EQ(vertical_part_dist(a, b), 5);
  EXPECT_EQ(vertical_part_dist(b, a), 5);
  record([&] { b.moveredraw(0, -10); });
  EXPECT_EQ(vertical_part_dist(a, b), 0);
}

TEST(MovepartManager, BusyPositionsIncludeEdgesAndSuppartShiftsOnce) {
  movepart_manager m;
  movepart p(m, nullptr, bg);
  p.add(10, 20, 5, 4, 95);
  struct row {
    int x, y, busy;
  };
  for (const row& r :
       {row{10, 20, 1}, row{15, 24, 1}, row{16, 24, 0}, row{9, 22, 0}, row{12, 25, 0}}) {
    EXPECT_EQ(m.busy_position(r.x, r.y), r.busy) << r.x << "," << r.y;
  }
  EXPECT_EQ(record([&] { EXPECT_EQ(m.busy_position_debug(12, 22), 1); }),
            (calls{"color 56", "line -38 22 62 22", "color 56", "line 12 -28 12 72"}));

  movepart q(m, nullptr, bg);
  m.addpart(&p);  // slots p, q, p, then p again
  m.addpart(&p);
  ASSERT_EQ(m.part_count(), 4);
  m.suppart(&p);  // the p shifted into a slot just examined stays
  EXPECT_EQ(m.part_count(), 2);
  EXPECT_EQ(m.part(0), &q);
  EXPECT_EQ(m.part(1), &p);
  m.suppart(&p);
  EXPECT_EQ(m.part_count(), 1);
}

TEST(MovepartLink, LinkReplacesWithoutClearingAndCopiesCarryNothing) {
  movepart_manager m;
  movepart* b = new movepart(m, nullptr, bg);
  movepart* c = new movepart(m, nullptr, bg);
  {
    movepart a(m, nullptr, bg);
    a.add(0, 0, 1, 1, 95);
    a.link(b);
    a.link(c);
    EXPECT_EQ(b->is_linked(), 1);  // left marked
    EXPECT_EQ(a.part_have_link(), c);
    {
      movepart copy(a);
      EXPECT_EQ(copy.part_have_link(), nullptr);
      EXPECT_EQ(copy.my_manager(), &m);
      EXPECT_EQ(m.part_count(), 3);  // not registered
      movepart assigned;
      assigned = a;
      EXPECT_EQ(assigned.part_have_link(), nullptr);
      EXPECT_EQ(assigned.element_count(), 1);
    }  // destroying the copies destroys nothing else
    EXPECT_EQ(m.part_count(), 3);
  }  // a destroys c
  EXPECT_EQ(m.part_count(), 1);
  delete b;
}

TEST(MovepartManager, DrawPaintsCarriedRegisteredPiecesTwice) {
  movepart_manager m;
  movepart* carried = new movepart(m, nullptr, bg);
  carried->add(0, 0, 1, 1, 88);
  movepart carrier(m, nullptr, bg);
  carrier.add(5, 5, 2, 2, 95);
  carrier.link(carried);
  EXPECT_EQ(record([&] { m.draw(); }),
            fill(88, 0, 0, 1, 1) + fill(95, 5, 5, 2, 2) + fill(88, 0, 0, 1, 1));
  EXPECT_EQ(record([&] { carrier.undraw(); }), fill(bg, 5, 5, 2, 2) + fill(bg, 0, 0, 1, 1));
}

TEST(MovepartDump, CoordsThenTheFiveLists) {
  movepart_manager m;
  movepart p(m, nullptr, bg);
  p.add(0, 0, 5, 4, 95);
  p.add(3, 4.5, 2, 2, 88);
  record([&] { p.moveredraw(1.5, 2); });
  std::ostringstream s;
  s << p;
  EXPECT_EQ(s.str(), "coords 1.5 2\n(0, 3)\n(0, 4.5)\n(5, 2)\n(4, 2)\n(95, 88)\n");
}

// ------------------------------------------------------------------------------ jacks

TEST(JackReact, PositionsAndResults) {
  struct row {
    const char* what;
    bool single;
    double start, out_speed, in_speed;
    std::vector<char> commands;  // per react: 'o' out, 'i' in, 'b' both, '-' none
    std::vector<double> positions;
    std::vector<int> results;
  };
  const row rows[] = {
      {"double out to the stroke of 12", false, 10, 4, 1, {'o', 'o'}, {12, 12}, {1, 0}},
      {"double, both commands: no move", false, 5, 4, 1, {'b'}, {5}, {0}},
      {"double without command holds", false, 5, 4, 1, {'-'}, {5}, {0}},
      {"double in to 0", false, 1.5, 4, 1, {'i', 'i'}, {0.5, 0}, {1, 1}},
      {"single springs back by its in speed",
       true,
       5,
       4,
       2,
       {'-', '-', '-', '-'},
       {3, 1, 0, 0},
       {1, 1, 1, 0}},
      {"single: in does nothing, so it retracts", true, 5, 4, 2, {'i'}, {3}, {1}},
      {"single out", true, 5, 4, 2, {'o', 'o'}, {9, 12}, {1, 1}},
  };
  for (const row& r : rows) {
    djack d(nullptr, 0, 0, 12, 10, 20, 4, r.out_speed, r.in_speed, nullptr, r.start);
    sjack s(nullptr, 0, 0, 12, 10, 20, 4, r.out_speed, r.in_speed, nullptr, r.start);
    for (size_t k = 0; k < r.commands.size(); ++k) {
      const char c = r.commands[k];
      int result;
      double position;
      if (r.single) {
        if (c == 'o' || c == 'b') s.activate_out();
        if (c == 'i' || c == 'b') s.activate_in();
        EXPECT_EQ(s.is_out_activing(), c == 'o' || c == 'b' ? 1 : 0);
        result = s.react();
        EXPECT_EQ(s.is_out_activing(), 0);
        position = s.actual_position();
      } else {
        if (c == 'o' || c == 'b') d.activate_out();
        if (c == 'i' || c == 'b') d.activate_in();
        result = d.react();
        EXPECT_EQ(d.is_in_activing() + d.is_out_activing(), 0);
        position = d.actual_position();
      }
      EXPECT_DOUBLE_EQ(position, r.positions[k]) << r.what << " react " << k;
      EXPECT_EQ(result, r.results[k]) << r.what << " react " << k;
    }
  }
  djack d(nullptr, 0, 0, 12, 10, 20, 4, 4, 1, nullptr, 10);
  d.activate_out();
  d.react();
  EXPECT_EQ(d.out_stop(), 1);
  EXPECT_EQ(d.in_stop(), 0);
  d.unreact();
  EXPECT_DOUBLE_EQ(d.actual_position(), 10);
}

// The body, the rod and the piston line as the jacks draw them, at position 3 after one step.
calls jack_body(int bx, int by, int bw, int bh, int rx, int ry, int rw, int rh, int lx0, int ly0,
                int lx1, int ly1) {
  std::ostringstream line;
  line << "line " << lx0 << ' ' << ly0 << ' ' << lx1 << ' ' << ly1;
  return calls{"color 216", box("rectf", bx, by, bw, bh),
               "color 56",  box("rect", bx, by, bw, bh),
               "color 56",  box("rectf", rx, ry, rw, rh),
               "color 56",  box("rect", rx, ry, rw, rh),
               "color 56",  line.str()};
}

TEST(JackDraw, EveryOrientationAtPositionThree) {
  // Anchor (100, 50), stroke 40, body 10, rod 30 by 4, out speed 3.5: position 3.5 drawn as 3.
  const int x = 100, y = 50;
  struct row {
    const char* what;
    std::function<calls()> run;
    calls expected;
  };
#define STEP(cls, ...)                                             \
  [] {                                                             \
    cls j(nullptr, 100, 50, 40, 10, 30, 4, 3.5, 1.0, __VA_ARGS__); \
    j.activate_out();                                              \
    j.react();                                                     \
    return record([&] { j.draw(); });                              \
  }
  const calls right = jack_body(x, y, 40, 10, x + 3, y + 3, 30, 4, x + 3, y, x + 3, y + 9);
  const calls left = jack_body(x - 40, y, 40, 10, x - 33, y + 3, 30, 4, x - 3, y, x - 3, y + 9);
  const calls down = jack_body(x, y, 10, 40, x + 3, y + 3, 4, 30, x, y + 3, x + 9, y + 3);
  const calls up = jack_body(x, y - 40, 10, 40, x + 3, y - 33, 4, 30, x, y - 3, x + 9, y - 3);
  const row rows[] = {
      {"rdjack", STEP(rdjack, nullptr, 0.0), right}, {"rsjack", STEP(rsjack, nullptr), right},
      {"ldjack", STEP(ldjack, nullptr, 0.0), left},  {"lsjack", STEP(lsjack, nullptr), left},
      {"bdjack", STEP(bdjack, nullptr, 0.0), down},  {"bsjack", STEP(bsjack, nullptr, 0.0), down},
      {"tdjack", STEP(tdjack, nullptr, 0.0), up},    {"tsjack", STEP(tsjack, nullptr), up},
  };
#undef STEP
  for (const row& r : rows) EXPECT_EQ(r.run(), r.expected) << r.what;
}

TEST(JackDraw, PushesThePartAndStaysWhereItIsBlocked) {
  struct row {
    const char* what;
    double wall_x;  // a wall 1 pixel wide at this x, on the part's row
    double part_x, position;
  };
  const row rows[] = {
      {"free: the part moves by the step", 200, 15.0, 5.0},
      {"blocked: part and position stay", 16, 10.0, 0.0},
  };
  for (const row& r : rows) {
    movepart_manager m;
    movepart part(m, nullptr, 7u);
    part.add(10, 0, 5, 5, 95);
    movepart wall(m, nullptr, 7u);
    wall.add(r.wall_x, 0, 1, 5, 56);
    rdjack j(nullptr, 0, 0, 40, 10, 10, 4, 5.0, 1.0, &part, 0.0);
    EXPECT_EQ(j.my_background_color(), 7u) << "the part's background by default";
    j.activate_out();
    j.react();
    calls drawn = record([&] { j.draw(); });
    EXPECT_DOUBLE_EQ(part.actual_precision_first_xpos(), r.part_x) << r.what;
    EXPECT_DOUBLE_EQ(j.actual_position(), r.position) << r.what;
    // The rod is drawn where the jack ended.
    const int p = static_cast<int>(r.position);
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), box("rectf", p, 3, 10, 4)), drawn.end())
        << r.what;
  }
  rdjack given(nullptr, 0, 0, 40, 10, 10, 4, 5.0, 1.0, nullptr, 0.0, 88u);
  EXPECT_EQ(given.my_background_color(), 88u);
}

TEST(JackDraw, DownJackErasesOnlyWhenMovedToANewAnchor) {
  bdjack j(nullptr, 100, 50, 40, 10, 30, 4, 3.0, 1.0, nullptr, 6.0, 7u);
  const calls same = record([&] { j.draw(100, 50); });
  EXPECT_EQ(same, record([&] { j.draw(); }));
  const calls moved = record([&] { j.draw(120, 50); });
  EXPECT_EQ(calls(moved.begin(), moved.begin() + 4),
            fill(7, 100, 50, 11, 41) + fill(7, 103, 56, 4, 30));
  EXPECT_EQ(j.anchor_x(), 120);
}

TEST(RotaryArm, TipsTruncateWithPiAs3_1415AndTheHubIsCentred) {
  hrdjack arm(nullptr, 200, 100, 20, 0, 100, 10.0, 10.0, nullptr, 90.0);
  struct row {
    double degrees;
    int tx, ty;
  };
  for (const row& r : {row{0, 300, 100}, row{90, 200, 199}, row{180, 101, 100}, row{270, 200, 1},
                       row{45, 270, 170}}) {
    EXPECT_EQ(arm.tip_x(r.degrees), r.tx) << r.degrees;
    EXPECT_EQ(arm.tip_y(r.degrees), r.ty) << r.degrees;
  }

  movepart_manager m;
  movepart tipped(m, nullptr, 5u);
  tipped.add(0, 0, 4, 4, 88);
  hrdjack turning(nullptr, 200, 100, 20, 0, 100, 90.0, 10.0, &tipped, 0.0);
  turning.activate_out();
  turning.react();
  calls drawn = record([&] { turning.draw(); });
  EXPECT_EQ(tipped.actual_first_xpos(), 200);
  EXPECT_EQ(tipped.actual_first_ypos(), 199);
  const calls tail{"color 5",  "line 200 100 300 100", "color 216", "pie 190 90 20 20 0 360",
                   "color 56", "line 200 100 200 199", "color 88",  "rectf 200 199 4 4"};
  EXPECT_EQ(calls(drawn.end() - static_cast<long>(tail.size()), drawn.end()), tail);
}

// ------------------------------------------------------------------------------ belts

TEST(BeltReact, TravelWrapsAndKeepsOneStep) {
  struct row {
    const char* what;
    double speed;
    std::vector<bool> driven;
    std::vector<double> travels, previous;
  };
  const row rows[] = {
      {"length 100, speed 30: 90 wraps to 20, previous -10",
       30,
       {1, 1, 1, 1},
       {30, 60, 90, 20},
       {0, 30, 60, -10}},
      {"undriven cycles keep the travel", 30, {1, 0, 1}, {30, 30, 60}, {0, 30, 30}},
      {"negative speed adds the length below 0", -30, {1, 1}, {70, 40}, {100, 70}},
  };
  for (const row& r : rows) {
    belt b(nullptr, 0, 0, 100, 10, r.speed);
    for (size_t k = 0; k < r.driven.size(); ++k) {
      if (r.driven[k]) b.activate();
      b.react();
      EXPECT_EQ(b.is_activing(), 0);
      EXPECT_DOUBLE_EQ(b.travel_value(), r.travels[k]) << r.what << " " << k;
      EXPECT_DOUBLE_EQ(b.previous_travel_value(), r.previous[k]) << r.what << " " << k;
    }
  }
}

TEST(BeltPieces, ListedInOrderAndRemovedByFirstOccurrence) {
  belt b(nullptr, 0, 0, 100, 10, 1);
  movepart p, q;
  b.add_ppart(&p);
  b.add_ppart(&q);
  b.add_ppart(&p);
  b.supp_ppart(&p);
  EXPECT_EQ(*b.part_list(), (std::list<movepart*>{&q, &p}));
  movepart absent;
  b.supp_ppart(&absent);
  EXPECT_EQ(b.part_list()->size(), 2u);
  b.supp_all_ppart();
  EXPECT_TRUE(b.part_list()->empty());
}

TEST(StraightBelt, CarriesThePiecesOnItByTheStep) {
  // Belt at (0, 50), 100 long, 8 thick, speed 30, driven three times then once more: travel
  // 20 after the wrap, step 30.
  struct row {
    const char* what;
    double piece_x;  // first x of a 5 by 5 piece resting on the belt
    double moved_to;
  };
  const row rows[] = {
      {"on the belt", 40, 70},
      {"first x on the end: still on it", 100, 130},
      {"a pixel beyond: left alone", 101, 101},
      {"first x on the start", 0, 30},
  };
  for (const row& r : rows) {
    movepart_manager m;
    movepart p(m, nullptr, bg);
    p.add(r.piece_x, 45, 5, 5, 95);
    hbelt h(nullptr, 0, 50, 100, 8, 30);
    h.add_ppart(&p);
    for (int k = 0; k < 4; ++k) {
      h.activate();
      h.react();
    }
    calls drawn = record([&] { h.draw(); });
    EXPECT_DOUBLE_EQ(p.actual_precision_first_xpos(), r.moved_to) << r.what;
    const calls head{"color 88",        "rectf 0 50 100 8", "color 56",
                     "rect 0 50 100 8", "color 56",         "line 20 50 20 57"};
    EXPECT_EQ(calls(drawn.begin(), drawn.begin() + 6), head) << r.what;
    // redraw acts on a step of exactly the speed, with a mark one pixel longer.
    h.activate();
    h.react();
    drawn = record([&] { h.redraw(); });
    ASSERT_GE(drawn.size(), 6u) << r.what;
    EXPECT_EQ(drawn[5], "line 50 50 50 58") << r.what;
  }

  hbelt idle(nullptr, 0, 50, 100, 8, 30);
  movepart_manager m;
  movepart p(m, nullptr, bg);
  p.add(10, 45, 5, 5, 95);
  idle.add_ppart(&p);
  idle.react();
  EXPECT_TRUE(record([&] { idle.redraw(); }).empty()) << "undriven: redraw does nothing";
  EXPECT_EQ(record([&] { idle.draw(); }),
            (calls{"color 88", "rectf 0 50 100 8", "color 56", "rect 0 50 100 8", "color 56",
                   "line 0 50 0 57", "color 95", "rectf 10 45 5 5"}))
      << "undriven: draw paints, moves by 0 and draws the piece";

  hbelt backwards(nullptr, 0, 50, 100, 8, -30);
  backwards.add_ppart(&p);
  backwards.activate();
  backwards.react();
  EXPECT_TRUE(record([&] { backwards.redraw(); }).empty()) << "negative speed: never acts";
}

TEST(RoundBelt, TurnsCentresAboutThePivotAndKeepsStillPiecesInPlace) {
  movepart_manager m;
  movepart p(m, nullptr, bg);
  p.add(118, 98, 4, 4, 95);  // centred on (120, 100): 20 right of the pivot
  rbelt r(nullptr, 100, 100, 60, 0, 90);
  r.add_ppart(&p);
  r.react();  // undriven
  calls still = record([&] { r.redraw(); });
  EXPECT_EQ(still, (calls{"color 255", "pie 70 70 60 60 0 360"} + fill(bg, 118, 98, 4, 4) +
                    fill(95, 118, 98, 4, 4) + calls{"color 56", "line 100 100 160 100"}));
  EXPECT_EQ(record([&] { r.draw(); }), (calls{"color 255", "pie 70 70 60 60 0 360"}));
  r.activate();
  r.react();
  record([&] { r.redraw(); });
  // A quarter turn clockwise on screen: the centre goes to 20 below the pivot.
  EXPECT_NEAR(p.actual_precision_first_xpos(), 98.0, 0.01);
  EXPECT_NEAR(p.actual_precision_first_ypos(), 118.0, 0.01);
  EXPECT_DOUBLE_EQ(r.radius(), 90);
}

// ------------------------------------------------------------------------------ wagons

TEST(WagonReact, StopsExactlyOnItsLimits) {
  struct row {
    const char* what;
    int length;
    double x, speed;
    char direction;  // 'r', 'l' or 's'
    std::vector<double> xs;
    std::vector<int> results, right_stops, left_stops;
  };
  const row rows[] = {
      {"length 40 at 279 moving 3 right", 40, 279, 3, 'r', {280, 280}, {1, 0}, {1, 1}, {0, 0}},
      {"odd length 41 uses 20", 41, 279, 3, 'r', {280}, {1}, {1}, {0}},
      {"to the left limit", 40, 22, 3, 'l', {20, 20}, {1, 0}, {0, 0}, {1, 1}},
      {"stopped", 40, 100, 3, 's', {100}, {0}, {0}, {0}},
  };
  for (const row& r : rows) {
    wagon w(nullptr, static_cast<int>(r.x), 100, r.length, 10, r.speed, 0, 300, nullptr, bg);
    if (r.direction == 'r') w.right();
    if (r.direction == 'l') w.left();
    for (size_t k = 0; k < r.xs.size(); ++k) {
      EXPECT_EQ(w.react(), r.results[k]) << r.what << " " << k;
      EXPECT_DOUBLE_EQ(w.xpos(), r.xs[k]) << r.what << " " << k;
      EXPECT_EQ(w.right_stop(), r.right_stops[k]) << r.what << " " << k;
      EXPECT_EQ(w.left_stop(), r.left_stops[k]) << r.what << " " << k;
    }
  }
  wagon w(nullptr, 100, 100, 40, 10, 2, 0, 300, nullptr, bg);
  w.change_speed_ref(5);
  EXPECT_EQ(w.actual_velocity(), 0.0) << "a stopped wagon stays stopped";
  w.left();
  w.change_speed_ref(7);
  EXPECT_EQ(w.actual_velocity(), -7.0);
  w.react();
  w.unreact();
  EXPECT_EQ(w.xpos(), 100.0);
}

TEST(CookWagon, MovesItsPartByHalfTheStepAndPaintsInOrder) {
  movepart_manager m;
  movepart tray(m, nullptr, bg);
  tray.add(80, 80, 40, 4, 95);
  cookwagon w(nullptr, 100, 100, 40, 10, 3, 0, 300, &tray, bg);
  w.right();
  w.react();  // 100 to 103
  w.load();
  const calls drawn = record([&] { w.draw(); });
  EXPECT_DOUBLE_EQ(tray.xpos(), 1.5);
  // After the tray's own move (4 calls): the strip behind, the old wheels, the new wheels, the
  // load box with its corners erased, the tray.
  const calls expected =
      fill(bg, 80, 90, 3, 20) +
      calls{"color 49", "pie 95 105 5 5 0 360", "color 49", "pie 100 105 5 5 0 360",
            "color 56", "pie 98 105 5 5 0 360", "color 56", "pie 103 105 5 5 0 360"} +
      fill(bg, 78, 85, 5, 5) + fill(bg, 123, 85, 5, 5) + fill(56, 83, 85, 40, 20) +
      fill(95, 82, 80, 40, 4);
  EXPECT_EQ(calls(drawn.begin() + 4, drawn.end()), expected);

  w.unload();
  w.left();
  w.react();  // back to 100
  const calls back = record([&] { w.draw(); });
  EXPECT_EQ(calls(back.begin() + 4, back.begin() + 6), fill(bg, 120, 90, 3, 20));
  EXPECT_EQ(calls(back.end() - 4, back.end() - 2), fill(bg, 80, 85, 40, 20));

  // A blocked part takes the wagon's step back.
  movepart wall(m, nullptr, bg);
  wall.add(119, 80, 1, 4, 56);
  w.right();
  w.react();
  record([&] { w.draw(); });
  EXPECT_DOUBLE_EQ(w.xpos(), 100.0);
}

}  // namespace
