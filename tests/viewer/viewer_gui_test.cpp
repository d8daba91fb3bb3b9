// The viewer window under Xvfb, driven with xdotool: page indicator, paging buttons, the page
// number entry, both file buttons with their messages and failures, the PDF viewer command,
// cancel giving the parent window back; then sudz-view's own window.
//
// The viewer runs on the main thread inside activation; a driver thread clicks through the X
// server and reads the widgets under the toolkit's lock, which the event loop releases while
// it waits.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <FL/Fl.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <atomic>
#include <list>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_support.h"
#include "formspp/viewer.h"
#include "support/child_process.h"

namespace {

using testsupport::read_file;
using testsupport::read_lines;
using testsupport::temp_dir;
using testsupport::write_file;

// Runs f on the driver thread while holding the toolkit's lock.
template <typename F>
auto locked(F f) -> decltype(f()) {
  Fl::lock();
  auto r = f();
  Fl::unlock();
  Fl::awake();
  return r;
}

std::string xid(Fl_Window* w) {
  return std::to_string(static_cast<unsigned long>(fl_xid(w)));
}

// A shown dialog window other than the given ones whose widgets include a label holding text;
// its id and the centre of its first button.
struct dialog {
  std::string id;
  int x = 0, y = 0;
  std::string label;
};

bool find_label(Fl_Group* g, const std::string& text, dialog& d) {
  for (int i = 0; i < g->children(); ++i) {
    Fl_Widget* c = g->child(i);
    if (c->label() != nullptr && std::string(c->label()).find(text) != std::string::npos) {
      d.label = c->label();
    }
    if (d.x == 0 && dynamic_cast<Fl_Button*>(c) != nullptr && c->visible()) {
      d.x = c->x() + c->w() / 2;
      d.y = c->y() + c->h() / 2;
    }
    if (Fl_Group* sub = c->as_group()) find_label(sub, text, d);
  }
  return !d.label.empty();
}

dialog wait_dialog(const std::string& text, const std::vector<Fl_Window*>& skip) {
  dialog found;
  e2e::wait_until(
      [&] {
        return locked([&] {
          for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) {
            if (std::find(skip.begin(), skip.end(), w) != skip.end() || !w->shown()) continue;
            dialog d;
            if (find_label(w, text, d)) {
              d.id = xid(w);
              found = d;
              return true;
            }
          }
          return false;
        });
      },
      30);
  return found;
}

bool any_dialog(const std::vector<Fl_Window*>& skip) {
  return locked([&] {
    for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) {
      if (std::find(skip.begin(), skip.end(), w) == skip.end() && w->shown()) return true;
    }
    return false;
  });
}

// Button centres in the viewer window.
const int kNext[] = {330, 440}, kPrevious[] = {330, 470}, kCancel[] = {85, 455},
          kPdf[] = {510, 455}, kText[] = {710, 455}, kEntry[] = {170, 455}, kGo[] = {200, 455};

void click(const std::string& win, const int* at) {
  e2e::click(win, at[0], at[1]);
}

// A recording stand-in: runs its work, then appends its name and arguments to log.
void stand_in(const std::string& path, const std::string& log, const std::string& work) {
  write_file(path, "#!/bin/sh\n" + work + "echo \"$(basename \"$0\") $*\" >> '" + log + "'\n");
  chmod(path.c_str(), 0700);
}

class ViewerWindow : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    bin_ = dir_.file("bin");
    mkdir(bin_.c_str(), 0700);
    log_ = dir_.file("log");
    stand_in(bin_ + "/pdf viewer", log_, "cp tmp.pdf seen.pdf\n");
    stand_in(bin_ + "/rm", log_, "/bin/rm \"$@\"\n");
    path_ = std::getenv("PATH");
    setenv("PATH", (bin_ + ":" + path_).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", path_.c_str(), 1);
    if (chdir(cwd_) != 0) ADD_FAILURE() << "chdir back";
  }
  temp_dir dir_;
  char cwd_[4096];
  std::string bin_, log_, path_;
};

TEST_F(ViewerWindow, PagesWritesFilesAndGivesTheParentBack) {
  Fl::lock();
  Fl_Window parent(300, 100, "parent");
  Fl_Button* parent_button = new Fl_Button(10, 10, 200, 60, "parent button");
  parent.end();
  parent.show();
  Fl::check();

  // 200 text lines and a column line: pages of 77, 77 and 46 counted lines.
  std::list<std::string> lines = {"#C 8 T20 "};
  for (int i = 1; i <= 200; ++i) {
    lines.push_back("row" + std::to_string(i) + "#signal " + std::to_string(i));
  }
  const std::vector<std::string> copy(lines.begin(), lines.end());
  OFD_afficheur viewer(&parent, 0);
  std::atomic<bool> returned{false}, parent_clicked{false};

  std::thread driver([&] {
    std::string win;
    auto indicator = [&] { return locked([&] { return std::string(viewer.page_indicator()); }); };
    auto shows = [&](const std::string& text) {
      return e2e::wait_until([&] { return indicator() == text; }, 30);
    };
    auto entry = [&] { return locked([&] { return std::string(viewer.page_entry()->value()); }); };
    auto type_entry = [&](const std::string& text) {
      click(win, kEntry);
      e2e::shell("xdotool key End BackSpace BackSpace BackSpace" +
                 (text.empty() ? std::string() : " type " + text));
      e2e::wait_until([&] { return entry() == text; }, 30);
      click(win, kGo);
    };
    auto body = [&] {
      ASSERT_TRUE(e2e::wait_until(
          [&] { return locked([&] { return viewer.window()->shown() != 0; }); }, 30));
      win = locked([&] { return xid(viewer.window()); });
      EXPECT_EQ(indicator(), "page 1 / 3    ");
      EXPECT_EQ(locked([&] { return std::string(viewer.title()); }), "Report");
      EXPECT_EQ(entry(), "1");
      EXPECT_EQ(locked([&] { return viewer.page_list()->size(); }), 78);  // 77 rows + "#C"
      EXPECT_EQ(locked([&] { return std::string(viewer.page_list()->text(2)); }),
                "@f@S12 row1    signal 1");
      EXPECT_FALSE(locked([&] { return parent.active() != 0; }));

      click(win, kNext);
      ASSERT_TRUE(shows("page 2 / 3    "));
      EXPECT_EQ(entry(), "2");
      EXPECT_EQ(locked([&] { return std::string(viewer.page_list()->text(1)); }),
                "@f@S12 row78   signal 78");
      click(win, kNext);
      ASSERT_TRUE(shows("page 3 / 3    "));
      EXPECT_EQ(locked([&] { return viewer.page_list()->size(); }), 46);
      click(win, kNext);  // on the last page: nothing
      click(win, kPrevious);
      ASSERT_TRUE(shows("page 2 / 3    "));
      click(win, kPrevious);
      ASSERT_TRUE(shows("page 1 / 3    "));
      click(win, kPrevious);  // on the first page: nothing
      click(win, kNext);
      ASSERT_TRUE(shows("page 2 / 3    "));

      type_entry("3");
      ASSERT_TRUE(shows("page 3 / 3    "));
      type_entry("9");  // out of range: nothing, then previous from page 3
      click(win, kPrevious);
      ASSERT_TRUE(shows("page 2 / 3    "));
      type_entry("");  // reads as page 0: nothing
      click(win, kPrevious);
      ASSERT_TRUE(shows("page 1 / 3    "));
      type_entry("2");
      ASSERT_TRUE(shows("page 2 / 3    "));

      const std::vector<Fl_Window*> ours = {viewer.window(), &parent};
      // Text file, then its message.
      click(win, kText);
      dialog d = wait_dialog("tmp.txt", ours);
      EXPECT_EQ(d.label, "generation du fichier tmp.txt");
      std::ostringstream expected;
      OFD_afficheur_filtre_texte(copy.data(), static_cast<int>(copy.size())).imprime(expected);
      EXPECT_EQ(read_file("tmp.txt"), expected.str());
      ASSERT_NE(d.x, 0);
      e2e::click(d.id, d.x, d.y);
      ASSERT_TRUE(e2e::wait_until([&] { return !any_dialog(ours); }, 30));

      // PDF file handed to the viewer command (quoted: its name holds a blank), then removed.
      click(win, kPdf);
      ASSERT_TRUE(e2e::wait_until([&] { return read_lines(log_).size() >= 2; }, 30));
      EXPECT_EQ(read_lines(log_), (std::vector<std::string>{"pdf viewer tmp.pdf", "rm tmp.pdf"}));
      EXPECT_NE(access("tmp.pdf", F_OK), 0);
      std::ostringstream pdf;
      OFD_afficheur_filtre_impression(copy.data(), static_cast<int>(copy.size())).imprime_pdf(pdf);
      EXPECT_EQ(read_file("seen.pdf"), pdf.str());
      EXPECT_FALSE(any_dialog(ours));

      // A PDF file that cannot be written: an alert with the reason, no command run.
      mkdir("tmp.pdf", 0700);
      click(win, kPdf);
      d = wait_dialog("tmp.pdf", ours);
      EXPECT_EQ(d.label, "impossible d'ecrire le fichier tmp.pdf : Is a directory");
      ASSERT_NE(d.x, 0);
      e2e::click(d.id, d.x, d.y);
      ASSERT_TRUE(e2e::wait_until([&] { return !any_dialog(ours); }, 30));
      EXPECT_EQ(read_lines(log_).size(), 2u);
      rmdir("tmp.pdf");

      click(win, kCancel);
      ASSERT_TRUE(e2e::wait_until([&] { return returned.load(); }, 30));
      e2e::click(locked([&] { return xid(&parent); }), 100, 40);
      ASSERT_TRUE(e2e::wait_until([&] { return parent_clicked.load(); }, 30));
    };
    body();
    // Whatever failed above, end the activation and the wait below.
    if (!returned)
      locked([&] {
        viewer.window()->do_callback();
        return 0;
      });
    parent_clicked = true;
  });

  viewer.activation(lines, "Report", "pdf viewer");
  returned = true;
  EXPECT_TRUE(parent.active());
  EXPECT_FALSE(viewer.window()->shown());
  // The lines of a list are gone with the activation; nothing refers to them any more.
  viewer.visu_page();
  viewer.page_suivante();
  viewer.fichier_texte();
  EXPECT_EQ(viewer.current_page(), 1);
  for (int i = 0; i < 300 && !parent_clicked; ++i) {
    Fl::wait(0.1);
    while (Fl_Widget* w = Fl::readqueue()) {
      if (w == parent_button) parent_clicked = true;
    }
  }
  Fl::unlock();
  driver.join();
  parent.hide();
  Fl::check();
}

TEST(ViewerLabels, FrenchAndEnglish) {
  const struct {
    int language;
    std::vector<std::string> labels;
  } cases[] = {
      {0, {"page suivante", "page precedente", "ANNULER", "fichier pdf", "fichier texte", ""}},
      {1, {"next page", "previous page", "CANCEL", "pdf file", "text file", ""}},
  };
  for (const auto& c : cases) {
    OFD_afficheur viewer(nullptr, c.language);
    std::vector<std::string> labels;
    Fl_Window* w = viewer.window();
    for (int i = 0; i < w->children(); ++i) {
      if (dynamic_cast<Fl_Button*>(w->child(i)) != nullptr) {
        labels.push_back(w->child(i)->label() != nullptr ? w->child(i)->label() : "");
      }
    }
    EXPECT_EQ(labels, c.labels);
    EXPECT_EQ(w->w(), 820);
    EXPECT_EQ(w->h(), 500);
  }
}

// Closing the viewer window the way a window manager does ends the activation like cancel; an
// array stays the caller's, so its pages can still be built afterwards.
TEST(ViewerClose, WindowManagerCloseCancels) {
  Fl::lock();
  Fl_Window parent(200, 100, "parent");
  parent.end();
  parent.show();
  Fl::check();
  std::string lines[] = {"#C 4 4 ", "ab#cd", "#T"};
  OFD_afficheur viewer(&parent, 1);
  std::atomic<bool> returned{false};
  std::thread driver([&] {
    const bool shown =
        e2e::wait_until([&] { return locked([&] { return viewer.window()->shown() != 0; }); }, 30);
    EXPECT_TRUE(shown);
    if (shown) {
      EXPECT_EQ(locked([&] { return std::string(viewer.page_indicator()); }), "page 1 / 1    ");
      e2e::shell(e2e::build_dir() + "/tests/e2e/wm_close " +
                 locked([&] { return xid(viewer.window()); }));
      EXPECT_TRUE(e2e::wait_until([&] { return returned.load(); }, 30));
    }
    if (!returned)
      locked([&] {
        viewer.window()->do_callback();
        return 0;
      });
  });
  viewer.activation(lines, 3, "closed", "");
  returned = true;
  Fl::unlock();
  driver.join();
  EXPECT_TRUE(parent.active());
  EXPECT_FALSE(viewer.window()->shown());
  viewer.visu_page();
  EXPECT_EQ(std::string(viewer.page_list()->text(2)), "@f@S12 ab  cd");
  parent.hide();
  Fl::check();
}

// sudz-view's window: the pdf button hands the file to the command, cancel ends the program.
TEST_F(ViewerWindow, SudzViewProgram) {
  const char* b = std::getenv("SUDZ_BUILD_DIR");
  const std::string program = std::string(b != nullptr ? b : "build") + "/src/sudz-view/sudz-view";
  const char* src = std::getenv("SUDZ_SOURCE_DIR");
  const std::string sample =
      std::string(src != nullptr ? src : ".") + "/examples/viewer_sample.txt";
  const pid_t pid = testsupport::spawn_program(
      {program, "--english", "--pdf-viewer", bin_ + "/pdf viewer", sample}, dir_.file("err"));
  std::string win;
  ASSERT_TRUE(e2e::wait_until(
      [&] {
        win = e2e::shell("xdotool search --onlyvisible --pid " + std::to_string(pid) +
                         " 2>/dev/null | head -n1");
        while (!win.empty() && win.back() == '\n') win.pop_back();
        return !win.empty();
      },
      30));
  click(win, kPdf);
  EXPECT_TRUE(e2e::wait_until([&] { return read_lines(log_).size() >= 2; }, 30));
  EXPECT_EQ(read_lines(log_), (std::vector<std::string>{"pdf viewer tmp.pdf", "rm tmp.pdf"}));
  click(win, kCancel);
  int status = 0;
  const bool ended = testsupport::wait_for(pid, 30000, &status);
  if (!ended) testsupport::kill_and_reap(pid);
  ASSERT_TRUE(ended);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << read_file(dir_.file("err"));
}

}  // namespace
