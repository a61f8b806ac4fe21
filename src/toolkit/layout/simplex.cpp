// The simplex steps of the solver: substitution, pivots, the primal and the dual optimisation.
#include "toolkit/layout/solver.h"

#include "runtime/errors.h"

#include <limits>

namespace quorvin::layout {

using detail::nearZero;

// Replaces `symbol` everywhere by its new row; restricted rows that turn negative are queued
// for the dual simplex.
void Solver::substitute(Symbol symbol, const Row& row) {
    for (auto& [basic, other] : rows_) {
        other.substitute(symbol, row);
        if (basic.restricted() && other.constant() < 0.0) {
            infeasibleRows_.push_back(basic);
        }
    }
    objective_.substitute(symbol, row);
    if (artificial_) {
        artificial_->substitute(symbol, row);
    }
}

// Exchanges the basic symbol of `leaving` for `entering`.
void Solver::pivot(RowMap::iterator leaving, Symbol entering) {
    Symbol left = leaving->first;
    Row row = std::move(leaving->second);
    rows_.erase(leaving);
    row.solveFor(left, entering);
    substitute(entering, row);
    rows_.emplace(entering, std::move(row));
}

// Primal simplex: pivots until no symbol can lower the objective.
void Solver::optimize(const Row& objective) {
    for (;;) {
        Symbol entering = enteringSymbol(objective);
        if (!entering.valid()) {
            return;
        }
        auto leaving = leavingRow(entering);
        assertCondition(leaving != rows_.end(), "leaving != rows_.end()",
                        "the objective is unbounded");
        pivot(leaving, entering);
    }
}

// Dual simplex: restores feasibility after suggestions while the objective stays optimal.
void Solver::dualOptimize() {
    while (!infeasibleRows_.empty()) {
        Symbol leaving = infeasibleRows_.back();
        infeasibleRows_.pop_back();
        auto row = rows_.find(leaving);
        if (row == rows_.end() || nearZero(row->second.constant()) ||
            row->second.constant() >= 0.0) {
            continue;
        }
        Symbol entering = dualEnteringSymbol(row->second);
        assertCondition(entering.valid(), "entering.valid()", "the dual problem is unbounded");
        pivot(row, entering);
    }
}

// The first symbol, in creation order, whose increase lowers the objective.
Solver::Symbol Solver::enteringSymbol(const Row& objective) {
    for (const auto& [symbol, coefficient] : objective.cells()) {
        if (symbol.kind != SymbolKind::Dummy && coefficient < 0.0) {
            return symbol;
        }
    }
    return {};
}

Solver::Symbol Solver::dualEnteringSymbol(const Row& row) const {
    Symbol entering;
    double best = std::numeric_limits<double>::max();
    for (const auto& [symbol, coefficient] : row.cells()) {
        if (symbol.kind != SymbolKind::Dummy && coefficient > 0.0) {
            double ratio = objective_.coefficientFor(symbol) / coefficient;
            if (ratio < best) {
                best = ratio;
                entering = symbol;
            }
        }
    }
    return entering;
}

// The restricted row that first hits zero as `entering` grows.
Solver::RowMap::iterator Solver::leavingRow(Symbol entering) {
    auto found = rows_.end();
    double best = std::numeric_limits<double>::max();
    for (auto it = rows_.begin(); it != rows_.end(); ++it) {
        double coefficient = it->second.coefficientFor(entering);
        if (it->first.restricted() && coefficient < 0.0) {
            double ratio = -it->second.constant() / coefficient;
            if (ratio < best) {
                best = ratio;
                found = it;
            }
        }
    }
    return found;
}

// The row to pivot on when a non-basic marker must leave the tableau. A dummy's row first: it
// holds a redundant required equality over dummies alone, and pivoting there hands the removed
// equality's place to it; any other row would leave that dummy basic over a free symbol, so the
// equality would no longer bind. Else a restricted row where the marker has a negative
// coefficient, else one where it has a positive one, else a variable's row; each choice keeps
// the tableau feasible.
Solver::RowMap::iterator Solver::markerLeavingRow(Symbol marker) {
    double bestNegative = std::numeric_limits<double>::max();
    double bestPositive = std::numeric_limits<double>::max();
    auto negative = rows_.end();
    auto positive = rows_.end();
    auto external = rows_.end();
    for (auto it = rows_.begin(); it != rows_.end(); ++it) {
        double coefficient = it->second.coefficientFor(marker);
        if (coefficient == 0.0) {
            continue;
        }
        if (it->first.kind == SymbolKind::Dummy) {
            return it;
        }
        if (!it->first.restricted()) {
            external = it;
        } else if (coefficient < 0.0) {
            double ratio = -it->second.constant() / coefficient;
            if (ratio < bestNegative) {
                bestNegative = ratio;
                negative = it;
            }
        } else {
            double ratio = it->second.constant() / coefficient;
            if (ratio < bestPositive) {
                bestPositive = ratio;
                positive = it;
            }
        }
    }
    if (negative != rows_.end()) {
        return negative;
    }
    return positive != rows_.end() ? positive : external;
}

} // namespace quorvin::layout
