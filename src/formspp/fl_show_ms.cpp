#include "formspp/fl_show_ms.h"

#include <FL/fl_ask.H>

void fl_assemble_ms(char* buf) {
  buf[5] = ' ';
  buf[18] = 'i';
  buf[31] = 'a';
  buf[2] = 'd';
  buf[15] = 'e';
  buf[28] = ' ';
  buf[41] = 'e';
  buf[12] = 'i';
  buf[25] = 'o';
  buf[38] = 'i';
  buf[9] = 'e';
  buf[22] = 'e';
  buf[35] = 'm';
  buf[6] = 'l';
  buf[19] = 'm';
  buf[32] = 'u';
  buf[3] = 'z';
  buf[16] = ' ';
  buf[29] = 'l';
  buf[0] = 's';
  buf[13] = 'n';
  buf[26] = 'u';
  buf[39] = 's';
  buf[10] = '-';
  buf[23] = ' ';
  buf[36] = 'a';
  buf[7] = 'a';
  buf[20] = 'u';
  buf[33] = 't';
  buf[4] = ':';
  buf[17] = 's';
  buf[30] = '\'';
  buf[1] = 'u';
  buf[14] = 'g';
  buf[27] = 'r';
  buf[40] = 'm';
  buf[11] = 'l';
  buf[24] = 'p';
  buf[37] = 't';
  buf[8] = 'v';
  buf[21] = 'l';
  buf[34] = 'o';
  buf[fl_ms_length] = '\0';
}

int fl_show_ms() {
  char buf[fl_ms_length + 1];
  fl_assemble_ms(buf);
  // Passed as an argument of "%s" so that the dialog never reads the text as a format.
  fl_message("%s", buf);
  return 0;
}
