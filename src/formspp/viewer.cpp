#include "formspp/viewer.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Window.H>
#include <FL/forms.H>

#include <cstdlib>

#include "Stringpp/Stringpp.h"
#include "formspp/dialogs.h"
#include "lists/list_String.h"

namespace {

const char kTextFile[] = "tmp.txt";
const char kPdfFile[] = "tmp.pdf";
// How long the event loop sleeps at most when nothing happens.
const double kEventWait = 0.1;

Fl_Widget* add_button(int x, int y, int w, int h, const char* label) {
  Fl_Button* b = fl_add_button(FL_NORMAL_BUTTON, x, y, w, h, label);
  b->labelfont(FL_TIMES);
  b->labelsize(10);
  return b;
}

// Runs one shell command and waits for it; its status is not looked at.
void run(const std::string& command) {
  const int status = std::system(command.c_str());
  (void)status;
}

}  // namespace

OFD_afficheur::OFD_afficheur(Fl_Window* parent_window, int language)
    : langue(language), parent(parent_window) {
  const bool fr = langue == 0;
  Fl_Group* current = Fl_Group::current();
  Fl_Group::current(nullptr);
  fenetre = new Fl_Window(820, 500);
  fenetre->box(FL_NO_BOX);
  // Closing the window (or Escape) puts it in the read queue, where it counts as cancel.
  fenetre->callback(Fl_Widget::default_callback);
  new Fl_Box(FL_UP_BOX, 0, 0, 820, 500, "");
  liste = new Fl_Browser(10, 50, 800, 370);
  liste->type(FL_HOLD_BROWSER);
  liste->box(FL_DOWN_BOX);
  liste->color(49);
  liste->labelfont(FL_TIMES);
  titre = new Fl_FormsText(FL_NO_BOX, 230, 20, 310, 20);
  titre->labelsize(12);
  titre->labelfont(FL_HELVETICA_BOLD);
  titre->align(FL_ALIGN_INSIDE);
  indicateur = new Fl_FormsText(FL_NO_BOX, 80, 20, 120, 20);
  indicateur->align(FL_ALIGN_LEFT);
  suivante = add_button(270, 430, 120, 20, fr ? "page suivante" : "next page");
  precedente = add_button(270, 460, 120, 20, fr ? "page precedente" : "previous page");
  annuler = add_button(40, 430, 90, 50, fr ? "ANNULER" : "CANCEL");
  bouton_pdf = add_button(460, 430, 100, 50, fr ? "fichier pdf" : "pdf file");
  bouton_texte = add_button(660, 430, 100, 50, fr ? "fichier texte" : "text file");
  numero = new Fl_Input(150, 445, 40, 20, "");
  aller = fl_add_button(FL_NORMAL_BUTTON, 190, 445, 20, 20, "");
  // Ends the window as a plain group: the forms layer's fl_end_form would turn every y upside
  // down (forms count from the bottom), away from the geometry above.
  fenetre->end();
  Fl_Group::current(current);
}

OFD_afficheur::~OFD_afficheur() {
  delete fenetre;
}

const char* OFD_afficheur::page_indicator() const {
  return indicateur->label();
}
const char* OFD_afficheur::title() const {
  return titre->label();
}

void OFD_afficheur::activation(std::list<std::string>& lines, const std::string& title,
                               const std::string& pdf_command) {
  std::unique_ptr<std::string[]> array(array_convert(lines));
  if (!array) {
    if (parent != nullptr) parent->activate();
    return;
  }
  activation(array.get(), static_cast<int>(lines.size()), title, pdf_command);
  // The lines die with this call: so do the filters that read them.
  affichage.reset();
  impression.reset();
  texte.reset();
}

void OFD_afficheur::activation(std::string* lines, int count, const std::string& title,
                               const std::string& pdf_command) {
  if (parent != nullptr) parent->deactivate();
  if (lines == nullptr) {
    if (parent != nullptr) parent->activate();
    return;
  }
  if (count < 0) count = 0;
  commande_pdf = pdf_command;
  page_courante = 0;
  affichage.reset(new OFD_afficheur_filtre_affichage(lines, count));
  impression.reset(new OFD_afficheur_filtre_impression(lines, count));
  texte.reset(new OFD_afficheur_filtre_texte(lines, count));
  visu_page();
  show_and_wait(title);
  if (parent != nullptr) parent->activate();
}

void OFD_afficheur::show_and_wait(const std::string& title) {
  fl_set_object_Slabel(titre, title, 81);
  fl_show_form(fenetre, FL_PLACE_MOUSE, FL_TRANSIENT, "");
  for (bool done = false; !done;) {
    // Sleeps until an event comes (or the bound passes) instead of spinning.
    Fl::wait(kEventWait);
    while (Fl_Widget* w = Fl::readqueue()) {
      if (w == precedente) {
        page_precedente();
      } else if (w == suivante) {
        page_suivante();
      } else if (w == bouton_pdf) {
        fichier_pdf();
      } else if (w == bouton_texte) {
        fichier_texte();
      } else if (w == aller) {
        page_numero(static_cast<int>(Stol(numero->value()) - 1));
      } else if (w == annuler || w == fenetre) {
        done = true;
        break;
      }
    }
  }
  fenetre->hide();
}

void OFD_afficheur::visu_page() {
  if (!affichage) return;
  const std::string text = affichage->visu_page(page_courante);
  liste->clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    liste->add(text.substr(start, end - start).c_str());
    start = end + 1;
  }
  liste->show();
  const std::string indicator =
      "page " + unslong2S(static_cast<unsigned long>(page_courante) + 1) + " / " +
      unslong2S(static_cast<unsigned long>(affichage->nb_pages()) + 1) + "    ";
  fl_set_object_Slabel(indicateur, indicator, 25);
  fl_set_Sinput(numero, unslong2S(static_cast<unsigned long>(page_courante) + 1));
}

void OFD_afficheur::page_numero(int n) {
  if (!affichage || n < 0 || n > affichage->nb_pages()) return;
  page_courante = n;
  visu_page();
}

void OFD_afficheur::page_suivante() {
  if (!affichage || page_courante >= affichage->nb_pages()) return;
  ++page_courante;
  visu_page();
}

void OFD_afficheur::page_precedente() {
  if (!affichage || page_courante <= 0) return;
  --page_courante;
  visu_page();
}

void OFD_afficheur::report(const std::string& file, bool written, const std::string& reason) {
  const bool fr = langue == 0;
  if (written) {
    fl_show_Smessages(fr ? "generation du fichier " + file : "generation of " + file + " file");
  } else {
    fl_show_Salert(fr ? "impossible d'ecrire le fichier " + file + " : " + reason
                      : "cannot write " + file + " file: " + reason);
  }
}

void OFD_afficheur::fichier_texte() {
  if (!texte) return;
  std::string reason;
  const bool written = viewer_write_file(
      kTextFile, [this](std::ostream& out) { texte->imprime(out); }, &reason);
  report(kTextFile, written, reason);
}

void OFD_afficheur::fichier_pdf() {
  if (!impression) return;
  std::string reason;
  const bool written = viewer_write_file(
      kPdfFile, [this](std::ostream& out) { impression->imprime_pdf(out); }, &reason);
  if (!written || commande_pdf.empty()) {
    report(kPdfFile, written, reason);
  } else {
    imprime_tmp_pdf();
  }
}

void OFD_afficheur::imprime_tmp_pdf() {
  run("\"" + commande_pdf + "\" " + kPdfFile);
  run(std::string("rm ") + kPdfFile);
}

void OFD_afficheur::imprime_tmp_ps() {
  run("ps2pdf tmp.ps");
  run("acroread tmp.pdf");
  run("rm tmp.pdf");
  run("rm tmp.ps");
}
