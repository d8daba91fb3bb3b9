// In-process probes of the toolkit's modal dialogs, for tests that open one: a timeout waits
// for the dialog, records its labels and entry, then acts as a person would.
#ifndef TESTS_FORMSPP_DIALOG_PROBE_H
#define TESTS_FORMSPP_DIALOG_PROBE_H

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Window.H>

namespace dialogtest {

// Calls f on every widget inside g, nested groups included.
inline void collect(Fl_Group* g, const std::function<void(Fl_Widget*)>& f) {
  for (int i = 0; i < g->children(); ++i) {
    f(g->child(i));
    if (g->child(i)->as_group()) collect(g->child(i)->as_group(), f);
  }
}

// What a person does in the next modal dialog: optionally type a new entry, then press the
// button labelled `press` (none: close the window).
struct dialog_probe {
  const char* new_entry = nullptr;
  const char* press = nullptr;
  bool seen = false;
  std::string entry;                // the input field's value when the dialog opened
  std::vector<std::string> labels;  // every label in the dialog
  int polls = 0;
};

inline void probe(void* data) {
  auto* p = static_cast<dialog_probe*>(data);
  Fl_Window* modal = Fl::modal();
  if (!modal || !modal->shown()) {
    if (++p->polls < 500) Fl::repeat_timeout(0.01, probe, data);
    return;
  }
  p->seen = true;
  Fl_Widget* button = nullptr;
  collect(modal, [&](Fl_Widget* w) {
    if (w->label()) p->labels.push_back(w->label());
    if (auto* in = dynamic_cast<Fl_Input*>(w)) {
      p->entry = in->value();
      if (p->new_entry) in->value(p->new_entry);
    }
    if (p->press && w->label() && std::strcmp(w->label(), p->press) == 0 && w->visible())
      button = w;
  });
  if (button)
    button->do_callback();
  else
    modal->hide();
}

// Whether one of the labels is exactly `text`.
inline bool has(const std::vector<std::string>& labels, const std::string& text) {
  for (const auto& l : labels)
    if (l == text) return true;
  return false;
}

}  // namespace dialogtest

#endif  // TESTS_FORMSPP_DIALOG_PROBE_H
