// wResizer: the layout container of one panel, owning the constraint solver of its controls.
#pragma once

#include "toolkit/control.h"
#include "toolkit/layout/solver.h"

#include <optional>
#include <vector>

namespace quorvin {

class wResizer {
public:
    // Makes the panel's four variables edit variables just below the required strength.
    explicit wResizer(wControl& panel);

    wControl& panel() const { return panel_; }
    layout::Solver& solver() { return solver_; }

    // Adds the control and makes each of its variables that is not one yet an edit variable:
    // position weakly (0.01), size a little stronger (0.1).
    void addControl(wControl& control);
    void addConstraint(const layout::Constraint& constraint);

    // Suggests the panel at (0, 0) in its client size and every control at the rectangle the
    // last rearrange gave it (before the first, its current one), and solves. A control that
    // resized itself in between, as a hovered link does, so leaves the layout as it was.
    void resolve();
    // Moves and sizes every control to its solved values, rounded; a size below zero, which an
    // impossibly small panel asks for, is zero.
    void rearrange();

private:
    struct Placed {
        wControl* control;
        std::optional<RECT> arranged;
    };
    void suggest(wControl& control, RECT bounds);

    wControl& panel_;
    layout::Solver solver_;
    std::vector<Placed> controls_;
};

} // namespace quorvin
