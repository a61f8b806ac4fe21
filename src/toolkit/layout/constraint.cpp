// Constraints and the relational operators that build them.
#include "toolkit/layout/constraint.h"

#include <cmath>

namespace quorvin::layout {

Constraint::Constraint(Expression expression, RelationalOperator op, double strength)
    : data_(
          std::make_shared<const Data>(Data{expression.reduced(), op, strength::clip(strength)})) {}

Constraint::Constraint(const Constraint& other, double strength)
    : Constraint(other.expression(), other.op(), strength) {}

bool Constraint::satisfied() const {
    constexpr double tolerance = 1e-6;
    double value = expression().value();
    switch (op()) {
    case RelationalOperator::LessOrEqual:
        return value <= tolerance;
    case RelationalOperator::GreaterOrEqual:
        return value >= -tolerance;
    case RelationalOperator::Equal:
        break;
    }
    return std::abs(value) <= tolerance;
}

Constraint operator==(const Expression& a, const Expression& b) {
    return Constraint(a - b, RelationalOperator::Equal);
}

Constraint operator<=(const Expression& a, const Expression& b) {
    return Constraint(a - b, RelationalOperator::LessOrEqual);
}

Constraint operator>=(const Expression& a, const Expression& b) {
    return Constraint(a - b, RelationalOperator::GreaterOrEqual);
}

} // namespace quorvin::layout
