// The incremental linear constraint solver that lays out windows: required and weighted
// constraints, edit variables with suggested values, and a solve step that writes the values.
#pragma once

#include "toolkit/layout/constraint.h"
#include "toolkit/layout/expression.h"
#include "toolkit/layout/row.h"
#include "toolkit/layout/solvererrors.h"
#include "toolkit/layout/strength.h"
#include "toolkit/layout/variable.h"

#include <map>
#include <memory>
#include <vector>

namespace quorvin::layout {

// A simplex tableau kept optimal across changes: adding a constraint re-optimises from the
// current basis, and a new suggested value is absorbed by the dual simplex, so a resize costs a
// few pivots rather than a new solve.
class Solver {
public:
    Solver();
    ~Solver();
    Solver(const Solver&) = delete;
    Solver& operator=(const Solver&) = delete;

    // Throws DuplicateConstraintException, or UnsatisfiableConstraintException for a required
    // constraint that contradicts the required ones already added (the solver is then unchanged).
    void addConstraint(const Constraint& constraint);
    // Throws UnknownConstraintException for a constraint that was not added.
    void removeConstraint(const Constraint& constraint);
    bool hasConstraint(const Constraint& constraint) const;

    // Makes `variable` take suggested values at `strength`, which must be below required.
    void addEditVariable(const Variable& variable, double strength);
    void removeEditVariable(const Variable& variable);
    bool hasEditVariable(const Variable& variable) const;
    // The edit variable should be `value`, as far as the stronger constraints allow.
    void suggestValue(const Variable& variable, double value);

    // Writes the current solution into every variable the solver knows.
    void updateVariables();

private:
    using Symbol = detail::Symbol;
    using SymbolKind = detail::SymbolKind;
    using Row = detail::Row;
    using RowMap = std::map<Symbol, Row>;

    // The symbols that mark a constraint in the tableau: its slack, error or dummy symbols.
    struct Tag {
        Symbol marker;
        Symbol other;
    };
    struct EditInfo {
        Tag tag;
        Constraint constraint;
        double constant;
    };

    Symbol newSymbol(SymbolKind kind);
    Symbol symbolFor(const Variable& variable, std::vector<Variable>& added);
    Row createRow(const Constraint& constraint, Tag& tag, std::vector<Variable>& added);
    static Symbol chooseSubject(const Row& row, const Tag& tag);
    void addRow(const Constraint& constraint, Row row, const Tag& tag);
    bool addWithArtificialVariable(const Row& row);
    void removeMarkerEffects(Symbol marker, double strength);
    void eliminateMarker(Symbol marker);
    void forgetVariables(const std::vector<Variable>& added);

    // The simplex steps (simplex.cpp).
    void substitute(Symbol symbol, const Row& row);
    void pivot(RowMap::iterator leaving, Symbol entering);
    void optimize(const Row& objective);
    void dualOptimize();
    static Symbol enteringSymbol(const Row& objective);
    Symbol dualEnteringSymbol(const Row& row) const;
    RowMap::iterator leavingRow(Symbol entering);
    RowMap::iterator markerLeavingRow(Symbol marker);

    std::map<Constraint, Tag, ConstraintLess> constraints_;
    std::map<Variable, Symbol, VariableLess> variables_;
    std::map<Variable, EditInfo, VariableLess> edits_;
    RowMap rows_;
    std::vector<Symbol> infeasibleRows_;
    Row objective_;
    std::unique_ptr<Row> artificial_;
    std::uint64_t lastSymbolId_ = 0;
};

} // namespace quorvin::layout
