// The message and input dialogs: texts reach the toolkit verbatim, the input dialogs' entries and
// results, the message window as a person uses it (rows, save, a file that cannot be written,
// closing), and the point-on-segment test.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Window.H>
#include <FL/forms.H>
#include <FL/x.H>

#include "e2e/e2e_support.h"
#include "dialog_probe.h"
#include "formspp/dialogs.h"

namespace {

// ---- In-process probes of the toolkit's modal dialogs ----

using dialogtest::collect;
using dialogtest::dialog_probe;
using dialogtest::has;
using dialogtest::probe;

TEST(Dialogs, MessagesAlertsAndQuestionsShowPercentSignsVerbatim) {
  const std::string text = "100% %d %s %n";
  dialog_probe m, a;
  Fl::add_timeout(0.01, probe, &m);
  fl_show_Smessages(text);
  Fl::add_timeout(0.01, probe, &a);
  fl_show_Salert(text);
  EXPECT_TRUE(has(m.labels, text));
  EXPECT_TRUE(has(a.labels, text));

  struct row {
    const char* press;
    int result;
  } rows[] = {{"Yes", 1}, {"No", 0}, {nullptr, 0}};
  for (const row& r : rows) {
    dialog_probe q;
    q.press = r.press;
    Fl::add_timeout(0.01, probe, &q);
    EXPECT_EQ(fl_show_Squestion(text, 7), r.result) << (r.press ? r.press : "closed");
    EXPECT_TRUE(has(q.labels, text));
  }
}

TEST(Dialogs, NumberEntriesStartAtTheValueAndFallBackToIt) {
  struct row {
    const char* new_entry;
    const char* press;
    int result;
  } ints[] = {
      {"42", "OK", 42}, {" -3 apples", "OK", -3},  {"abc", "OK", -7},
      {"", "OK", -7},   {"99999999999", "OK", -7}, {"42", "Cancel", -7},
  };
  for (const row& r : ints) {
    dialog_probe p;
    p.new_entry = r.new_entry;
    p.press = r.press;
    Fl::add_timeout(0.01, probe, &p);
    EXPECT_EQ(fl_show_int("count %d", -7), r.result) << r.new_entry << " " << r.press;
    EXPECT_EQ(p.entry, "-7");
    EXPECT_TRUE(has(p.labels, "count %d"));
  }

  struct drow {
    const char* new_entry;
    const char* press;
    double result;
  } doubles[] = {
      {"3.25", "OK", 3.25},
      {"1e3x", "OK", 1000.0},
      {"x1", "OK", 2.5},
      {"3.25", "Cancel", 2.5},
  };
  for (const drow& r : doubles) {
    dialog_probe p, s;
    p.new_entry = s.new_entry = r.new_entry;
    p.press = s.press = r.press;
    Fl::add_timeout(0.01, probe, &p);
    EXPECT_EQ(fl_show_double("rate %f", 2.5), r.result) << r.new_entry << " " << r.press;
    Fl::add_timeout(0.01, probe, &s);
    EXPECT_EQ(fl_show_double(std::string("rate %f"), 2.5), r.result);
    EXPECT_EQ(p.entry, "2.500000");
    EXPECT_EQ(s.entry, "2.500000");
    EXPECT_TRUE(has(p.labels, "rate %f"));
    EXPECT_TRUE(has(s.labels, "rate %f"));
  }
}

TEST(Dialogs, TextEntryGivesTheEntryOrNothing) {
  dialog_probe ok, cancel;
  ok.new_entry = "new 5%";
  ok.press = "OK";
  Fl::add_timeout(0.01, probe, &ok);
  EXPECT_EQ(fl_show_Sinput("name %s", "old %d"), "new 5%");
  EXPECT_EQ(ok.entry, "old %d");
  EXPECT_TRUE(has(ok.labels, "name %s"));
  cancel.press = "Cancel";
  Fl::add_timeout(0.01, probe, &cancel);
  EXPECT_EQ(fl_show_Sinput("name", "old"), "");
}

// ---- Setters ----

TEST(Dialogs, LabelIsTheFirstLenCharactersOrTheWholeText) {
  struct row {
    const char* text;
    int len;
    const char* label;
  } rows[] = {
      {"abcdef", 3, "abc"},
      {"abcdef", 0, ""},
      {"abcdef", 6, "abcdef"},
      {"abcdef", 7, "abcdef"},
      {"abcdef", -1, "abcdef"},
      {"50% %s", 4, "50% "},
      {"", 2, ""},
  };
  for (const row& r : rows) {
    Fl_Box box(0, 0, 10, 10);
    std::string text = r.text;
    fl_set_object_Slabel(&box, text, r.len);
    text.assign("changed");  // the widget keeps its own copy
    ASSERT_NE(box.label(), nullptr);
    EXPECT_STREQ(box.label(), r.label) << r.text << " " << r.len;
  }
}

TEST(Dialogs, SettersCopyTheirTexts) {
  Fl_Window group(200, 200);
  Fl_Input input(0, 0, 100, 20);
  Fl_Browser browser(0, 20, 100, 100);
  Fl_FormsText* t = fl_add_Stext(FL_DOWN_BOX, 1, 2, 30, 40, std::string("a %s"));
  group.end();
  std::string text = "100% %d %s\tx";
  fl_set_Sinput(&input, text);
  fl_add_browser_Sline(&browser, text);
  fl_add_browser_Sline(&browser, "second");
  fl_replace_browser_Sline(&browser, 2, "2nd %d");
  fl_replace_browser_Sline(&browser, 3, "no such row");
  text.clear();
  EXPECT_STREQ(input.value(), "100% %d %s\tx");
  ASSERT_EQ(browser.size(), 2);
  EXPECT_STREQ(browser.text(1), "100% %d %s\tx");
  EXPECT_STREQ(browser.text(2), "2nd %d");
  EXPECT_STREQ(t->label(), "a %s");
  EXPECT_EQ(t->align(), FL_ALIGN_LEFT);
}

TEST(Dialogs, WaitNoticeIsShownAtOnceAndGoesWithItsObject) {
  Fl_Window* notice = nullptr;
  {
    OFD_wait_form form("working 100%");
    for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
      if (w->label() && std::strcmp(w->label(), "travail en cours ...") == 0) notice = w;
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->visible());
    EXPECT_EQ(notice->w(), 600);
    EXPECT_EQ(notice->h(), 60);
    std::vector<std::string> labels;
    collect(notice, [&](Fl_Widget* w) {
      if (w->label()) labels.push_back(w->label());
    });
    EXPECT_TRUE(has(labels, "working 100%"));
  }
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) EXPECT_NE(w, notice);
}

// ---- The message window, driven with xdotool from a second thread ----

// What the main thread sees of the message window and of the dialogs above it, refreshed every
// 20 ms while the window's own loop runs.
struct observed {
  std::mutex m;
  int width = 0, browser_width = 0;
  std::vector<std::string> rows;
  std::string top_title;                // title of the topmost modal window
  unsigned long top_xid = 0;            // and its X window
  std::string focused_entry;            // the value of the input field that has the focus
  std::vector<std::string> top_labels;  // its labels
};

observed seen;
std::atomic<bool> person_done{false};
int polls_after_person = 0;
bool rescued = false;

void observe(void*) {
  // A person who gave up (or a window that did not close) leaves nothing open, after a while.
  if (person_done && ++polls_after_person > 250) {
    rescued = true;
    while (Fl_Window* w = Fl::first_window()) w->hide();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(seen.m);
    seen.top_title.clear();
    seen.top_labels.clear();
    for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
      if (!w->label() || std::strcmp(w->label(), "Messages") != 0) continue;
      seen.width = w->w();
      seen.rows.clear();
      collect(w, [&](Fl_Widget* c) {
        if (auto* b = dynamic_cast<Fl_Browser*>(c)) {
          seen.browser_width = b->w();
          for (int i = 1; i <= b->size(); ++i) seen.rows.push_back(b->text(i));
        }
      });
    }
    if (Fl_Window* top = Fl::modal()) {
      if (top->label()) seen.top_title = top->label();
      seen.top_xid = top->shown() ? fl_xid(top) : 0;
      auto* entry = dynamic_cast<Fl_Input_*>(Fl::focus());
      seen.focused_entry = entry && entry->value() ? entry->value() : "";
      collect(top, [&](Fl_Widget* c) {
        if (c->label()) seen.top_labels.push_back(c->label());
      });
    }
  }
  Fl::repeat_timeout(0.02, observe);
}

std::string window_named(const std::string& title) {
  std::string id;
  e2e::wait_until(
      [&] {
        std::istringstream out(
            e2e::shell("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null"));
        out >> id;
        return !id.empty();
      },
      30);
  return id;
}

bool top_is(const std::string& title) {
  return e2e::wait_until(
      [&] {
        std::lock_guard<std::mutex> lock(seen.m);
        return seen.top_title == title;
      },
      30);
}

// Runs the message window on the main thread while `person` acts on it from another thread.
void run_messages(const std::string& text, int width, const std::function<void()>& person) {
  {
    std::lock_guard<std::mutex> lock(seen.m);
    seen.rows.clear();
    seen.top_title.clear();
  }
  person_done = false;
  polls_after_person = 0;
  rescued = false;
  Fl::add_timeout(0.02, observe);
  std::thread t([&] {
    person();
    person_done = true;
  });
  fl_show_Sbigmessages(text, width);
  t.join();
  Fl::remove_timeout(observe);
  EXPECT_FALSE(rescued) << "the message window did not end by itself";
}

// Saves through the file selector as a person does: "save", then, in the entry the selector
// offers (its directory, and the last name chosen), the name replaced by `name` (no "/"), and
// Return once the entry reads as intended.
void save_as(const std::string& messages, const std::string& name) {
  e2e::click(messages, 105, 545);
  std::string chooser = window_named("save message");
  ASSERT_FALSE(chooser.empty());
  ASSERT_TRUE(top_is("save message"));
  std::string entry;
  {
    std::lock_guard<std::mutex> lock(seen.m);
    entry = seen.focused_entry;
  }
  const std::string wanted = entry.substr(0, entry.rfind('/') + 1) + name;
  const size_t erase = entry.size() - (entry.rfind('/') + 1);
  std::string keys = " key End";
  if (erase > 0) keys += " key --repeat " + std::to_string(erase) + " BackSpace";
  e2e::shell("xdotool windowfocus --sync " + chooser + keys + " type --delay 10 '" + name + "'");
  ASSERT_TRUE(e2e::wait_until(
      [&] {
        std::lock_guard<std::mutex> lock(seen.m);
        entry = seen.focused_entry;
        return entry == wanted;
      },
      10))
      << "the selector's entry reads " << entry << ", not " << wanted;
  e2e::key(chooser, "Return");
}

TEST(MessageWindow, ShowsOneRowPerLineAndEndsWithQuitOrAClose) {
  struct row {
    const char* text;
    std::vector<std::string> rows;
    int width, window_width, browser_width;
    bool close_by_wm;
  } rows[] = {
      {"a\n\nb", {"a", "", "b"}, 80, 490, 480, false},
      {"a\nb\n", {"a", "b"}, 80, 490, 480, true},
      {"", {""}, 80, 490, 480, false},
      {"50% %s\n", {"50% %s"}, 80, 490, 480, false},
      // a negative width still makes a window the server accepts
      {"x", {"x"}, -5, 10, 0, true},
  };
  for (const row& r : rows) {
    run_messages(r.text, r.width, [&] {
      std::string win = window_named("Messages");
      ASSERT_FALSE(win.empty());
      ASSERT_TRUE(top_is("Messages"));
      {
        std::lock_guard<std::mutex> lock(seen.m);
        EXPECT_EQ(seen.rows, r.rows) << r.text;
        EXPECT_EQ(seen.width, r.window_width);
        EXPECT_EQ(seen.browser_width, r.browser_width);
      }
      if (r.close_by_wm)
        e2e::shell(e2e::build_dir() + "/tests/e2e/wm_close " + win);
      else
        e2e::click(win, 275, 545);  // "Quit"
    });
  }
}

struct temp_dir {
  std::string path;
  temp_dir() {
    char tmpl[] = "/tmp/sudz-messages-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~temp_dir() { e2e::shell("rm -rf '" + path + "'"); }
};

std::string file_bytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(MessageWindow, SavesTheTextByteForByteAndReportsAFileItCannotWrite) {
  temp_dir dir;
  const std::string text = "a\nb\n\n%d 100%\tend\n";
  const std::string good = dir.path + "/saved.txt";
  // A link to a file in a missing folder: the name is offered, the file cannot be created.
  const std::string bad = dir.path + "/broken.txt", missing = dir.path + "/missing/saved.txt";
  ASSERT_EQ(symlink(missing.c_str(), bad.c_str()), 0);
  {
    std::ofstream old(good);
    old << "an older and much longer content that must go away";
  }
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.path.c_str()), 0);
  run_messages(text, 80, [&] {
    std::string win = window_named("Messages");
    ASSERT_FALSE(win.empty());
    save_as(win, "saved.txt");
    ASSERT_TRUE(e2e::wait_until([&] { return file_bytes(good) == text; }, 30));
    ASSERT_TRUE(top_is("Messages"));

    save_as(win, "broken.txt");
    ASSERT_TRUE(e2e::wait_until(
        [&] {
          std::lock_guard<std::mutex> lock(seen.m);
          for (const auto& l : seen.top_labels)
            if (l.find(bad + "\"") != std::string::npos &&
                l.find("No such file or directory") != std::string::npos)
              return true;
          return false;
        },
        30));
    std::string alert;
    {
      std::lock_guard<std::mutex> lock(seen.m);
      alert = std::to_string(seen.top_xid);
    }
    e2e::key(alert, "Return");
    ASSERT_TRUE(top_is("Messages"));  // still open
    e2e::click(win, 275, 545);
  });
  ASSERT_EQ(chdir(cwd), 0);
  struct stat st;
  EXPECT_NE(stat(missing.c_str(), &st), 0);
  EXPECT_EQ(file_bytes(good), text);
}

// ---- Point on a segment ----

TEST(PointDansSegment, VerticalHorizontalAndSlopedSegments) {
  struct row {
    double x, y, x1, y1, x2, y2, tol;
    int on;
  } rows[] = {
      // horizontal: span along, strict distance across
      {5, 0.5, 0, 0, 10, 0, 1, 1},
      {11, 0, 0, 0, 10, 0, 1, 0},
      {10, 0, 10, 0, 0, 0, 1, 1},
      {5, 1, 0, 0, 10, 0, 1, 0},
      // vertical, ends in either order
      {0.5, 5, 0, 10, 0, 0, 1, 1},
      {0, -0.1, 0, 0, 0, 10, 1, 0},
      {0, 5, 0, 0, 1e-11, 10, 0.001, 1},
      // sloped
      {5, 5.1, 0, 0, 10, 10, 0.5, 1},
      {5, 5, 0, 0, 10, 10, 0, 0},
      {9.5, 0.9, 0, 0, 10, 1, 0.5, 1},
      // inside the tolerance of the line but outside the box: not widened
      {9.5, 1.05, 0, 0, 10, 1, 0.5, 0},
      {-0.01, -0.01, 0, 0, 10, 10, 1, 0},
      {3, 7, 0, 0, 10, 10, 1, 0},
      {10, 0, 0, 10, 10, 0, 1e-9, 1},
      // a point segment is vertical: only the point itself, within the tolerance
      {2, 2, 2, 2, 2, 2, 0.1, 1},
      {2, 2.1, 2, 2, 2, 2, 1, 0},
  };
  for (const row& r : rows)
    EXPECT_EQ(point_dans_segment(r.x, r.y, r.x1, r.y1, r.x2, r.y2, r.tol), r.on)
        << r.x << "," << r.y << " on " << r.x1 << "," << r.y1 << "-" << r.x2 << "," << r.y2
        << " tol " << r.tol;
}

}  // namespace
