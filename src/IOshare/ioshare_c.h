/* The controller's end of the exchange area, for C programs and for other
 * languages that call C (see IOsharemem_client.h for the C++ class).
 *
 * A typical controller:
 *
 *   #include "IOshare/ioshare_c.h"
 *   int main(int argc, char** argv) {
 *     ioshare_link* link = ioshare_attach_argv(argc, argv);
 *     int r;
 *     while ((r = ioshare_receive(link)) != -1) {
 *       if (r == 0) continue;                        (nothing new, 10 ms pause taken)
 *       ioshare_set_output(link, "Vi", ioshare_input(link, "Niv") ? 0 : 1);
 *       ioshare_refresh(link);
 *     }
 *     ioshare_free(link);
 *     return 0;
 *   }
 *
 * Every call behaves as the C++ class's: receive gives -1 (ended), 0
 * (nothing new, after a 10 000-microsecond pause) or 1 (new inputs); names
 * are matched exactly; an unknown name reads 0 and writes nothing.
 *
 * Two ways to attach. ioshare_attach_argv and ioshare_attach report a
 * failure as the C++ class does and end the process with exit status 1.
 * ioshare_try_attach_argv and ioshare_try_attach return NULL instead, with
 * the reason as an ioshare_error and, in message, the line that the others
 * would have reported (for languages that raise exceptions).
 *
 * Every other function takes a link returned by an attach and not yet
 * freed. A link is used by one thread at a time. ioshare_free releases it; the area
 * itself stays attached until the process ends, as with the C++ class. */
#ifndef IOSHARE_IOSHARE_C_H
#define IOSHARE_IOSHARE_C_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ioshare_link ioshare_link;

/* Why an attach failed. */
enum ioshare_error {
  IOSHARE_OK = 0,
  IOSHARE_NO_SWITCH = 1,   /* no "-automemlink" argument */
  IOSHARE_NO_IDENT = 2,    /* nothing after the last "-automemlink" */
  IOSHARE_NOT_DECIMAL = 3, /* the identifier is not a decimal number */
  IOSHARE_ZERO_IDENT = 4,  /* identifier 0 */
  IOSHARE_REFUSED = 5,     /* the segment cannot be attached */
  IOSHARE_WRONG_SIZE = 6,  /* the segment is not 4533 bytes long */
  IOSHARE_WRONG_COUNTS = 7 /* its counts lie outside 0..41 */
};

/* Attaches from the identifier after the last "-automemlink" of argv. On
 * failure: message on standard error, exit status 1. */
ioshare_link* ioshare_attach_argv(int argc, char** argv);
/* Attaches the area of segment ident. On failure: as above. */
ioshare_link* ioshare_attach(int ident);

/* The same without ending the process: NULL on failure, with *error set
 * (when error is not NULL) and the reported line copied into message, cut to
 * size bytes and always NUL-terminated (when message is not NULL and size is
 * not 0). */
ioshare_link* ioshare_try_attach_argv(int argc, char** argv, int* error, char* message,
                                      size_t size);
ioshare_link* ioshare_try_attach(int ident, int* error, char* message, size_t size);

/* Releases the link (NULL: nothing). */
void ioshare_free(ioshare_link* link);

/* -1 ended, 0 nothing new (after the pause), 1 new inputs in the local copy. */
int ioshare_receive(ioshare_link* link);
/* The named input as of the last receive that returned 1; 0 if unknown. */
int ioshare_input(const ioshare_link* link, const char* name);
/* Writes value into every output of that name, at once; unknown: nothing. */
void ioshare_set_output(ioshare_link* link, const char* name, int value);
/* Announces fresh outputs: raises the output clock by 1. */
void ioshare_refresh(ioshare_link* link);
/* The input clock of the last receive that returned 1 (0 before any). */
int ioshare_clock(const ioshare_link* link);

/* The counts and names, in signal order. A name is NUL-terminated and lives
 * as long as the link; out of range gives "". */
int ioshare_input_count(const ioshare_link* link);
int ioshare_output_count(const ioshare_link* link);
const char* ioshare_input_name(const ioshare_link* link, int index);
const char* ioshare_output_name(const ioshare_link* link, int index);

/* Copies at most n values into values, in signal order: the inputs from the
 * local copy, the outputs as they stand in the area. Returns the number
 * copied. */
int ioshare_inputs(const ioshare_link* link, int* values, int n);
int ioshare_outputs(const ioshare_link* link, int* values, int n);

#ifdef __cplusplus
}
#endif

#endif
