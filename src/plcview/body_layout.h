// Places a drawn body that its file saved without positions: Graphviz's dot
// puts the elements in columns along the flow (left to right for ladder and
// function blocks, top to bottom for a chart, an action block beside its
// step), each keeping its size.
#ifndef PLCVIEW_BODY_LAYOUT_H
#define PLCVIEW_BODY_LAYOUT_H

#include "plcview/body_view.h"

namespace plcview {

// Sets every element's x and y from the wires; false if Graphviz fails
// (the elements then stay where they were).
bool layout_body(body_model* m);

}  // namespace plcview

#endif
