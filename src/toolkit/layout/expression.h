// Linear expressions over layout variables, built with the arithmetic operators.
#pragma once

#include "toolkit/layout/variable.h"

#include <vector>

namespace quorvin::layout {

struct Term {
    Variable variable;
    double coefficient = 1.0;
};

// The sum of coefficient * variable terms plus a constant.
class Expression {
public:
    Expression(double constant = 0.0) : constant_(constant) {}
    Expression(const Variable& variable) : terms_{Term{variable, 1.0}} {}
    Expression(std::vector<Term> terms, double constant)
        : terms_(std::move(terms)), constant_(constant) {}

    const std::vector<Term>& terms() const { return terms_; }
    double constant() const { return constant_; }

    // The current value, from the variables' values.
    double value() const;

    // The same expression with the terms of one variable merged and zero terms dropped.
    Expression reduced() const;

private:
    std::vector<Term> terms_;
    double constant_ = 0.0;
};

Expression operator+(const Expression& a, const Expression& b);
Expression operator-(const Expression& a, const Expression& b);
Expression operator-(const Expression& e);
Expression operator*(const Expression& e, double factor);
Expression operator*(double factor, const Expression& e);
Expression operator/(const Expression& e, double divisor);

// Overloads for bare variables, so that `x + y` and `0.25 * w` need no conversion first.
inline Expression operator+(const Variable& a, const Variable& b) {
    return Expression(a) + Expression(b);
}
inline Expression operator+(const Variable& a, double b) {
    return Expression(a) + Expression(b);
}
inline Expression operator+(double a, const Variable& b) {
    return Expression(a) + Expression(b);
}
inline Expression operator-(const Variable& a, const Variable& b) {
    return Expression(a) - Expression(b);
}
inline Expression operator-(const Variable& a, double b) {
    return Expression(a) - Expression(b);
}
inline Expression operator-(double a, const Variable& b) {
    return Expression(a) - Expression(b);
}
inline Expression operator-(const Variable& v) {
    return -Expression(v);
}
inline Expression operator*(const Variable& v, double factor) {
    return Expression(v) * factor;
}
inline Expression operator*(double factor, const Variable& v) {
    return Expression(v) * factor;
}
inline Expression operator/(const Variable& v, double divisor) {
    return Expression(v) / divisor;
}

} // namespace quorvin::layout
