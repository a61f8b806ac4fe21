// A linear relation between an expression and zero, with a strength; copies share one constraint.
#pragma once

#include "toolkit/layout/expression.h"
#include "toolkit/layout/strength.h"

#include <memory>

namespace quorvin::layout {

enum class RelationalOperator { LessOrEqual, GreaterOrEqual, Equal };

class Constraint {
public:
    // The relation `expression op 0`; the strength is clipped to [0, required].
    Constraint(Expression expression, RelationalOperator op, double strength = strength::required);
    // The same relation as `other` with another strength: a new, distinct constraint.
    Constraint(const Constraint& other, double strength);

    const Expression& expression() const { return data_->expression; }
    RelationalOperator op() const { return data_->op; }
    double strength() const { return data_->strength; }
    bool isRequired() const { return data_->strength >= strength::required; }

    // Whether the variables' current values satisfy the relation, within a small tolerance.
    bool satisfied() const;

    bool sameAs(const Constraint& other) const { return data_ == other.data_; }
    const void* id() const { return data_.get(); }

private:
    struct Data {
        Expression expression;
        RelationalOperator op;
        double strength;
    };
    std::shared_ptr<const Data> data_;
};

struct ConstraintLess {
    bool operator()(const Constraint& a, const Constraint& b) const { return a.id() < b.id(); }
};

// Relations between expressions, variables and numbers: `a == b` is the constraint a - b == 0.
Constraint operator==(const Expression& a, const Expression& b);
Constraint operator<=(const Expression& a, const Expression& b);
Constraint operator>=(const Expression& a, const Expression& b);

// `constraint | strength`: the same relation at another strength.
inline Constraint operator|(const Constraint& constraint, double strength) {
    return Constraint(constraint, strength);
}

} // namespace quorvin::layout
