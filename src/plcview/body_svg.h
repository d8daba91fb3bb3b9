// The drawing of body_paint.h written as an SVG file: the body with the
// plant's signals in a column on its right.
#ifndef PLCVIEW_BODY_SVG_H
#define PLCVIEW_BODY_SVG_H

#include <string>

#include "plcview/body_paint.h"

namespace plcview {

std::string body_svg(const body_model& m, const signals& s);

// Writes body_svg to path; false with a message.
bool write_body_svg(const body_model& m, const signals& s, const std::string& path,
                    std::string* error);

}  // namespace plcview

#endif
