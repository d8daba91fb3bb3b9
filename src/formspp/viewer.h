// OFD_afficheur: a window that pages a long marked-up text (viewer_lines.h) and writes it to
// "tmp.txt" or "tmp.pdf" in the current directory.
//
// Build one viewer for a parent window, then call activation once for each text to show. While
// the viewer is up the parent is insensitive; activation returns when the user presses the
// cancel button (or closes the viewer window), with the parent sensitive again.
//
// The window (820 x 500) holds the title, the page indicator "page i / n", the page list, the
// buttons "page suivante", "page precedente", "ANNULER", "fichier pdf", "fichier texte" (with
// language 0; "next page", "previous page", "CANCEL", "pdf file", "text file" otherwise), and a
// page number entry with its go-to-page button. Each page of 77 counted lines is built afresh
// from the lines when shown. Rows of any length are kept whole: the list scrolls sideways.
//
// The file buttons report what they wrote in a message box, or, when a file cannot be written,
// the reason in an alert; no command is ever run on a file that was not written. With a PDF
// viewer command, "tmp.pdf" is handed to it and removed once it returns.
//
// The viewer needs a display only when activated. After a list-form activation returns, the
// viewer drops its filters together with the lines it made, so nothing refers to freed lines;
// after an array-form activation the filters keep referring to the caller's array until the
// next activation.
#ifndef FORMSPP_VIEWER_H
#define FORMSPP_VIEWER_H

#include <list>
#include <memory>
#include <string>

#include "formspp/viewer_display.h"
#include "formspp/viewer_export.h"

class Fl_Browser;
class Fl_Input;
class Fl_Widget;
class Fl_Window;

class OFD_afficheur {
 public:
  // Builds the window without showing it. language: 0 French, anything else English.
  OFD_afficheur(Fl_Window* parent, int language);
  ~OFD_afficheur();
  OFD_afficheur(const OFD_afficheur&) = delete;
  OFD_afficheur& operator=(const OFD_afficheur&) = delete;

  // Shows the lines until cancel. An empty list or a null array returns at once; an array of
  // no lines shows one empty page.
  void activation(std::list<std::string>& lines, const std::string& title,
                  const std::string& pdf_command);
  void activation(std::string* lines, int count, const std::string& title,
                  const std::string& pdf_command);

  // Shows the current page and updates the indicator and the page number entry.
  void visu_page();
  // Goes to page n (from 0) when 0 <= n <= the last page's index.
  void page_numero(int n);
  void page_suivante();
  void page_precedente();

  // Writes "tmp.txt" and reports it (or the failure).
  void fichier_texte();
  // Writes "tmp.pdf", then hands it to the PDF viewer command, or reports it (or the failure).
  void fichier_pdf();
  // Runs the PDF viewer command, quoted as one word, on tmp.pdf, then "rm tmp.pdf".
  void imprime_tmp_pdf();
  // Runs "ps2pdf tmp.ps", "acroread tmp.pdf", "rm tmp.pdf", "rm tmp.ps", each after the other.
  void imprime_tmp_ps();

  // For the program's own inspection (and its tests).
  Fl_Window* window() const { return fenetre; }
  int current_page() const { return page_courante; }
  const char* page_indicator() const;
  const char* title() const;
  Fl_Browser* page_list() const { return liste; }
  Fl_Input* page_entry() const { return numero; }

 private:
  void show_and_wait(const std::string& title);
  void report(const std::string& file, bool written, const std::string& reason);

  int langue;
  int page_courante = 0;
  std::unique_ptr<OFD_afficheur_filtre_affichage> affichage;
  std::unique_ptr<OFD_afficheur_filtre_impression> impression;
  std::unique_ptr<OFD_afficheur_filtre_texte> texte;
  std::string commande_pdf;
  Fl_Window* fenetre;
  Fl_Window* parent;
  Fl_Widget* titre;
  Fl_Widget* indicateur;
  Fl_Browser* liste;
  Fl_Widget* precedente;
  Fl_Widget* suivante;
  Fl_Widget* annuler;
  Fl_Widget* bouton_pdf;
  Fl_Widget* bouton_texte;
  Fl_Input* numero;
  Fl_Widget* aller;
};

#endif  // FORMSPP_VIEWER_H
