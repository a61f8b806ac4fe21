// Constraint strengths: folding the three levels into one number.
#include "toolkit/layout/strength.h"

#include <algorithm>

namespace quorvin::layout::strength {

namespace {

double clipLevel(double level) {
    return std::clamp(level, 0.0, 1000.0);
}

} // namespace

double create(double a, double b, double c, double w) {
    return clipLevel(a * w) * 1000000.0 + clipLevel(b * w) * 1000.0 + clipLevel(c * w);
}

double clip(double value) {
    return std::clamp(value, 0.0, required);
}

} // namespace quorvin::layout::strength
