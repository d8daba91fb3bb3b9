// Kept for code written against the chart model when it lived here.
#include "plcview/chart_window.h"
