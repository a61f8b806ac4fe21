// The solver's internal symbols and the tableau row: a constant plus coefficient * symbol cells.
#pragma once

#include <cstdint>
#include <map>

namespace quorvin::layout::detail {

// Values this close to zero count as zero everywhere in the solver.
constexpr double epsilon = 1e-8;

inline bool nearZero(double value) {
    return value < 0.0 ? -value < epsilon : value < epsilon;
}

// External symbols stand for variables; slack, error and dummy symbols are the solver's own
// (slack for inequalities, error for the violation of non-required constraints, dummy for
// required equalities, which never enter the basis).
enum class SymbolKind : std::uint8_t { External, Slack, Error, Dummy };

struct Symbol {
    std::uint64_t id = 0; // 0: no symbol
    SymbolKind kind = SymbolKind::External;

    bool valid() const { return id != 0; }
    bool restricted() const { return kind != SymbolKind::External; }
    bool operator<(const Symbol& other) const { return id < other.id; }
    bool operator==(const Symbol& other) const { return id == other.id; }
};

// A row reads `basic symbol = constant + sum(coefficient * symbol)`; a constraint row before it
// has a basic symbol reads `0 = constant + sum(...)`. Cells are kept in symbol creation order so
// that pivot choices, and with them the solutions of ties, do not vary between runs.
class Row {
public:
    explicit Row(double constant = 0.0) : constant_(constant) {}

    double constant() const { return constant_; }
    const std::map<Symbol, double>& cells() const { return cells_; }
    double coefficientFor(Symbol symbol) const;

    // Adds to the constant and returns the new constant.
    double add(double value) { return constant_ += value; }
    // Adds coefficient * symbol; a cell that becomes zero is dropped.
    void insert(Symbol symbol, double coefficient = 1.0);
    // Adds coefficient * other, constant included.
    void insert(const Row& other, double coefficient = 1.0);
    void remove(Symbol symbol) { cells_.erase(symbol); }
    void reverseSign();

    // Turns `0 = ... + a * symbol` into `symbol = ...`; the symbol must be in the row.
    void solveFor(Symbol symbol);
    // Turns `lhs = ... + a * rhs` into `rhs = ... + (1 / a) * lhs`.
    void solveFor(Symbol lhs, Symbol rhs);
    // Replaces `symbol` by the right-hand side of its row.
    void substitute(Symbol symbol, const Row& row);

private:
    std::map<Symbol, double> cells_;
    double constant_;
};

} // namespace quorvin::layout::detail
