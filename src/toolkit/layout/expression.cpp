// Arithmetic on linear expressions.
#include "toolkit/layout/expression.h"

#include <map>

namespace quorvin::layout {

double Expression::value() const {
    double sum = constant_;
    for (const Term& term : terms_) {
        sum += term.coefficient * term.variable.value();
    }
    return sum;
}

Expression Expression::reduced() const {
    // Keep the order of first appearance so that the solver sees terms in the order written.
    std::map<Variable, std::size_t, VariableLess> position;
    std::vector<Term> merged;
    for (const Term& term : terms_) {
        auto [it, added] = position.emplace(term.variable, merged.size());
        if (added) {
            merged.push_back(term);
        } else {
            merged[it->second].coefficient += term.coefficient;
        }
    }
    std::erase_if(merged, [](const Term& term) { return term.coefficient == 0.0; });
    return Expression(std::move(merged), constant_);
}

Expression operator+(const Expression& a, const Expression& b) {
    std::vector<Term> terms = a.terms();
    terms.insert(terms.end(), b.terms().begin(), b.terms().end());
    return Expression(std::move(terms), a.constant() + b.constant());
}

Expression operator-(const Expression& e) {
    return e * -1.0;
}

Expression operator-(const Expression& a, const Expression& b) {
    return a + (-b);
}

Expression operator*(const Expression& e, double factor) {
    std::vector<Term> terms = e.terms();
    for (Term& term : terms) {
        term.coefficient *= factor;
    }
    return Expression(std::move(terms), e.constant() * factor);
}

Expression operator*(double factor, const Expression& e) {
    return e * factor;
}

Expression operator/(const Expression& e, double divisor) {
    return e * (1.0 / divisor);
}

} // namespace quorvin::layout
