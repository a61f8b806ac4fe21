// The solver's public operations: constraints, edit variables, suggestions and the solve step.
#include "toolkit/layout/solver.h"

namespace quorvin::layout {

using detail::nearZero;

Solver::Solver() = default;
Solver::~Solver() = default;

Solver::Symbol Solver::newSymbol(SymbolKind kind) {
    return Symbol{++lastSymbolId_, kind};
}

Solver::Symbol Solver::symbolFor(const Variable& variable, std::vector<Variable>& added) {
    auto it = variables_.find(variable);
    if (it != variables_.end()) {
        return it->second;
    }
    added.push_back(variable);
    return variables_.emplace(variable, newSymbol(SymbolKind::External)).first->second;
}

// The constraint as a row `0 = constant + cells` over the current non-basic symbols, with its
// slack, error or dummy symbols added and recorded in `tag`.
Solver::Row Solver::createRow(const Constraint& constraint, Tag& tag,
                              std::vector<Variable>& added) {
    const Expression& expression = constraint.expression();
    Row row(expression.constant());
    for (const Term& term : expression.terms()) {
        Symbol symbol = symbolFor(term.variable, added);
        auto basic = rows_.find(symbol);
        if (basic != rows_.end()) {
            row.insert(basic->second, term.coefficient);
        } else {
            row.insert(symbol, term.coefficient);
        }
    }
    double strength = constraint.strength();
    if (constraint.op() == RelationalOperator::Equal) {
        if (constraint.isRequired()) {
            tag.marker = newSymbol(SymbolKind::Dummy);
            row.insert(tag.marker);
        } else {
            tag.marker = newSymbol(SymbolKind::Error);
            tag.other = newSymbol(SymbolKind::Error);
            row.insert(tag.marker, -1.0);
            row.insert(tag.other, 1.0);
            objective_.insert(tag.marker, strength);
            objective_.insert(tag.other, strength);
        }
    } else {
        // expression <= 0 becomes expression + slack = 0; >= 0 becomes expression - slack = 0.
        double sign = constraint.op() == RelationalOperator::LessOrEqual ? 1.0 : -1.0;
        tag.marker = newSymbol(SymbolKind::Slack);
        row.insert(tag.marker, sign);
        if (!constraint.isRequired()) {
            tag.other = newSymbol(SymbolKind::Error);
            row.insert(tag.other, -sign);
            objective_.insert(tag.other, strength);
        }
    }
    if (row.constant() < 0.0) {
        row.reverseSign();
    }
    return row;
}

// A symbol that can become basic for the new row without making the tableau infeasible: any
// variable, else the constraint's own slack or error symbol when its coefficient is negative.
Solver::Symbol Solver::chooseSubject(const Row& row, const Tag& tag) {
    for (const auto& [symbol, coefficient] : row.cells()) {
        if (symbol.kind == SymbolKind::External) {
            return symbol;
        }
    }
    for (Symbol candidate : {tag.marker, tag.other}) {
        bool pivotable = candidate.kind == SymbolKind::Slack || candidate.kind == SymbolKind::Error;
        if (candidate.valid() && pivotable && row.coefficientFor(candidate) < 0.0) {
            return candidate;
        }
    }
    return {};
}

void Solver::forgetVariables(const std::vector<Variable>& added) {
    for (const Variable& variable : added) {
        variables_.erase(variable);
    }
}

void Solver::addConstraint(const Constraint& constraint) {
    if (constraints_.contains(constraint)) {
        throw DuplicateConstraintException(constraint);
    }
    Tag tag;
    std::vector<Variable> added;
    Row row = createRow(constraint, tag, added);
    try {
        addRow(constraint, std::move(row), tag);
    } catch (const UnsatisfiableConstraintException&) {
        forgetVariables(added);
        throw;
    }
    constraints_.emplace(constraint, tag);
    optimize(objective_);
}

void Solver::addRow(const Constraint& constraint, Row row, const Tag& tag) {
    Symbol subject = chooseSubject(row, tag);
    if (!subject.valid()) {
        bool onlyDummies = true;
        for (const auto& [symbol, coefficient] : row.cells()) {
            onlyDummies = onlyDummies && symbol.kind == SymbolKind::Dummy;
        }
        if (onlyDummies) {
            // A required equality over fixed terms: redundant when it holds, else contradictory.
            if (!nearZero(row.constant())) {
                throw UnsatisfiableConstraintException(constraint);
            }
            subject = tag.marker;
        }
    }
    if (!subject.valid()) {
        RowMap savedRows = rows_;
        Row savedObjective = objective_;
        if (!addWithArtificialVariable(row)) {
            rows_ = std::move(savedRows);
            objective_ = std::move(savedObjective);
            infeasibleRows_.clear();
            throw UnsatisfiableConstraintException(constraint);
        }
        return;
    }
    row.solveFor(subject);
    substitute(subject, row);
    rows_.emplace(subject, std::move(row));
}

// Phase one for a row with no feasible subject: an artificial variable takes the row's place and
// is driven to zero; the row can be satisfied only if that succeeds.
bool Solver::addWithArtificialVariable(const Row& row) {
    Symbol art = newSymbol(SymbolKind::Slack);
    rows_.emplace(art, row);
    artificial_ = std::make_unique<Row>(row);
    optimize(*artificial_);
    bool success = nearZero(artificial_->constant());
    artificial_.reset();

    auto basic = rows_.find(art);
    if (basic != rows_.end()) {
        if (basic->second.cells().empty()) {
            rows_.erase(basic);
            return success;
        }
        Symbol entering;
        for (const auto& [symbol, coefficient] : basic->second.cells()) {
            if (symbol.kind == SymbolKind::Slack || symbol.kind == SymbolKind::Error) {
                entering = symbol;
                break;
            }
        }
        if (!entering.valid()) {
            return false;
        }
        pivot(basic, entering);
    }
    for (auto& [symbol, other] : rows_) {
        other.remove(art);
    }
    objective_.remove(art);
    return success;
}

void Solver::removeConstraint(const Constraint& constraint) {
    auto it = constraints_.find(constraint);
    if (it == constraints_.end()) {
        throw UnknownConstraintException(constraint);
    }
    Tag tag = it->second;
    constraints_.erase(it);
    for (Symbol marker : {tag.marker, tag.other}) {
        if (marker.kind == SymbolKind::Error) {
            removeMarkerEffects(marker, constraint.strength());
        }
    }
    eliminateMarker(tag.marker);
    optimize(objective_);
}

// Takes an error symbol's weight out of the objective.
void Solver::removeMarkerEffects(Symbol marker, double strength) {
    auto basic = rows_.find(marker);
    if (basic != rows_.end()) {
        objective_.insert(basic->second, -strength);
    } else {
        objective_.insert(marker, -strength);
    }
}

// Drops the row that holds the constraint: the marker's own row, or a row pivoted onto it.
void Solver::eliminateMarker(Symbol marker) {
    auto basic = rows_.find(marker);
    if (basic == rows_.end()) {
        basic = markerLeavingRow(marker);
        if (basic == rows_.end()) {
            return; // the row was redundant and never kept
        }
        Symbol leaving = basic->first;
        Row row = std::move(basic->second);
        rows_.erase(basic);
        row.solveFor(leaving, marker);
        substitute(marker, row);
        return;
    }
    rows_.erase(basic);
}

bool Solver::hasConstraint(const Constraint& constraint) const {
    return constraints_.contains(constraint);
}

void Solver::addEditVariable(const Variable& variable, double strength) {
    if (edits_.contains(variable)) {
        throw DuplicateEditVariableException(variable);
    }
    strength = strength::clip(strength);
    if (strength >= strength::required) {
        throw RequiredEditStrengthException(variable);
    }
    Constraint constraint(Expression(variable), RelationalOperator::Equal, strength);
    addConstraint(constraint);
    edits_.emplace(variable, EditInfo{constraints_.at(constraint), constraint, 0.0});
}

void Solver::removeEditVariable(const Variable& variable) {
    auto it = edits_.find(variable);
    if (it == edits_.end()) {
        throw UnknownEditVariableException(variable);
    }
    removeConstraint(it->second.constraint);
    edits_.erase(it);
}

bool Solver::hasEditVariable(const Variable& variable) const {
    return edits_.contains(variable);
}

// The edit constraint reads variable - value = plus - minus. Moving the value by delta moves the
// error symbols by delta; the rows they occur in are adjusted in place, and the dual simplex
// repairs any row that became infeasible.
void Solver::suggestValue(const Variable& variable, double value) {
    auto it = edits_.find(variable);
    if (it == edits_.end()) {
        throw UnknownEditVariableException(variable);
    }
    EditInfo& info = it->second;
    double delta = value - info.constant;
    info.constant = value;

    auto plus = rows_.find(info.tag.marker);
    auto minus = rows_.find(info.tag.other);
    if (plus != rows_.end()) {
        if (plus->second.add(-delta) < 0.0) {
            infeasibleRows_.push_back(plus->first);
        }
    } else if (minus != rows_.end()) {
        if (minus->second.add(delta) < 0.0) {
            infeasibleRows_.push_back(minus->first);
        }
    } else {
        for (auto& [symbol, row] : rows_) {
            double coefficient = row.coefficientFor(info.tag.marker);
            if (coefficient != 0.0 && row.add(delta * coefficient) < 0.0 && symbol.restricted()) {
                infeasibleRows_.push_back(symbol);
            }
        }
    }
    dualOptimize();
}

void Solver::updateVariables() {
    for (auto& [variable, symbol] : variables_) {
        auto basic = rows_.find(symbol);
        // Adding zero turns a negative zero into a plain one.
        Variable target = variable;
        target.setValue(basic == rows_.end() ? 0.0 : basic->second.constant() + 0.0);
    }
}

} // namespace quorvin::layout
