// wResizer: edit variables, suggestions and the rounding of solved values.
#include "toolkit/resizer.h"

#include <algorithm>
#include <cmath>

namespace quorvin {

namespace {

constexpr double panelStrength = 1001000999.0;
constexpr double positionStrength = 0.01;
constexpr double sizeStrength = 0.1;

int rounded(const layout::Variable& variable) {
    return static_cast<int>(std::lround(variable.value()));
}

int roundedSize(const layout::Variable& variable) {
    return std::max(0, rounded(variable));
}

} // namespace

wResizer::wResizer(wControl& panel) : panel_(panel) {
    for (const layout::Variable* variable : {&panel.x, &panel.y, &panel.width, &panel.height}) {
        solver_.addEditVariable(*variable, panelStrength);
    }
}

void wResizer::addControl(wControl& control) {
    controls_.push_back(Placed{&control, std::nullopt});
    auto edit = [this](const layout::Variable& variable, double strength) {
        if (!solver_.hasEditVariable(variable)) {
            solver_.addEditVariable(variable, strength);
        }
    };
    edit(control.x, positionStrength);
    edit(control.y, positionStrength);
    edit(control.width, sizeStrength);
    edit(control.height, sizeStrength);
}

void wResizer::addConstraint(const layout::Constraint& constraint) {
    solver_.addConstraint(constraint);
}

void wResizer::suggest(wControl& control, RECT bounds) {
    solver_.suggestValue(control.x, bounds.left);
    solver_.suggestValue(control.y, bounds.top);
    solver_.suggestValue(control.width, bounds.right - bounds.left);
    solver_.suggestValue(control.height, bounds.bottom - bounds.top);
}

void wResizer::resolve() {
    SIZE client = panel_.clientSize();
    suggest(panel_, RECT{0, 0, client.cx, client.cy});
    for (const Placed& placed : controls_) {
        suggest(*placed.control, placed.arranged.value_or(placed.control->rect()));
    }
    solver_.updateVariables();
}

void wResizer::rearrange() {
    for (Placed& placed : controls_) {
        const wControl& control = *placed.control;
        const int left = rounded(control.x);
        const int top = rounded(control.y);
        const RECT bounds{left, top, left + roundedSize(control.width),
                          top + roundedSize(control.height)};
        placed.control->setRect(bounds.left, bounds.top, bounds.right - bounds.left,
                                bounds.bottom - bounds.top);
        placed.arranged = bounds;
    }
}

} // namespace quorvin
