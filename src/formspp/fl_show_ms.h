// The About message of the machine window.
#ifndef FORMSPP_FL_SHOW_MS_H
#define FORMSPP_FL_SHOW_MS_H

// Number of characters of the About message, without its terminating NUL.
const int fl_ms_length = 42;

// Writes the About message and a terminating NUL into `buf`, which must hold
// fl_ms_length + 1 characters. The characters are stored one by one, out of reading order, so
// that the text never stands in the program as one piece.
void fl_assemble_ms(char* buf);

// Shows the About message, verbatim, in the toolkit's modal message dialog and returns when the
// user closes it. The toolkit must be able to open a window. The result is always 0.
int fl_show_ms();

#endif
