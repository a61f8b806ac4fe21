// wResizable: the four layout variables of a widget, in pixels relative to its parent's client
// area.
#pragma once

#include "toolkit/layout/expression.h"
#include "toolkit/layout/variable.h"

namespace quorvin {

class wResizable {
public:
    layout::Variable x{"x"};
    layout::Variable y{"y"};
    layout::Variable width{"width"};
    layout::Variable height{"height"};

    layout::Expression right() const { return x + width; }
    layout::Expression bottom() const { return y + height; }
};

} // namespace quorvin
