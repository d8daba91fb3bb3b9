// Kept for code written against the chart model when it lived here.
#include "plcengine/sfc_check.h"
