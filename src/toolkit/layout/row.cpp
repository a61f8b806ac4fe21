// Arithmetic on tableau rows.
#include "toolkit/layout/row.h"

namespace quorvin::layout::detail {

double Row::coefficientFor(Symbol symbol) const {
    auto it = cells_.find(symbol);
    return it == cells_.end() ? 0.0 : it->second;
}

void Row::insert(Symbol symbol, double coefficient) {
    double& cell = cells_[symbol];
    cell += coefficient;
    if (nearZero(cell)) {
        cells_.erase(symbol);
    }
}

void Row::insert(const Row& other, double coefficient) {
    constant_ += other.constant_ * coefficient;
    for (const auto& [symbol, cell] : other.cells_) {
        insert(symbol, cell * coefficient);
    }
}

void Row::reverseSign() {
    constant_ = -constant_;
    for (auto& entry : cells_) {
        entry.second = -entry.second;
    }
}

void Row::solveFor(Symbol symbol) {
    double factor = -1.0 / cells_.at(symbol);
    cells_.erase(symbol);
    constant_ *= factor;
    for (auto& entry : cells_) {
        entry.second *= factor;
    }
}

void Row::solveFor(Symbol lhs, Symbol rhs) {
    insert(lhs, -1.0);
    solveFor(rhs);
}

void Row::substitute(Symbol symbol, const Row& row) {
    auto it = cells_.find(symbol);
    if (it == cells_.end()) {
        return;
    }
    double coefficient = it->second;
    cells_.erase(it);
    insert(row, coefficient);
}

} // namespace quorvin::layout::detail
