// Constraint strengths: three weighted levels folded into one number, and the required level.
#pragma once

namespace quorvin::layout::strength {

// a * 1e6 + b * 1e3 + c, each level clipped to [0, 1000], times a weight.
double create(double a, double b, double c, double w = 1.0);

constexpr double required = 1001001000.0;
constexpr double strong = 1000000.0;
constexpr double medium = 1000.0;
constexpr double weak = 1.0;

// A strength limited to the range [0, required].
double clip(double value);

} // namespace quorvin::layout::strength
