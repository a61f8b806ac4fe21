// Drives the layout solver through random small systems: constraints of every relation and
// strength added and removed, edit variables added, suggested and removed. After every step the
// required constraints hold; a refused constraint leaves the solver as it was and really
// contradicts them; and the solution is as good as that of a solver built afresh from the same
// system, so the incremental steps follow the suggestions as far as the constraints allow.
#include "fuzzfault.h"

#include "toolkit/layout/solver.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace quorvin;
using namespace quorvin::layout;

namespace {

constexpr fuzzing::Checker check("layout fuzzer");

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    int small(int low, int high) { return low + byte() % (high - low + 1); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

constexpr std::size_t variableCount = 4;
constexpr std::array<double, 4> strengths = {strength::required, strength::strong, strength::medium,
                                             strength::weak};

struct Edit {
    double strength;
    double suggestion = 0.0;
    bool suggested = false;
};

// The system as the fuzzer built it, to rebuild it afresh and to weigh a solution.
struct System {
    std::array<Variable, variableCount> variables;
    std::vector<Constraint> constraints;
    std::array<std::optional<Edit>, variableCount> edits;
};

Constraint constraintFrom(Input& in, const System& system) {
    std::vector<Term> terms;
    const int count = in.small(0, 3);
    for (int i = 0; i < count; ++i) {
        terms.push_back({system.variables[in.byte() % variableCount], double(in.small(-4, 4))});
    }
    const double constant = static_cast<std::int8_t>(in.byte());
    const auto op = static_cast<RelationalOperator>(in.byte() % 3);
    return Constraint(Expression(std::move(terms), constant), op, strengths[in.byte() % 4]);
}

// The weighted error of the current values: what the solver minimises.
double weightedError(const System& system) {
    double total = 0.0;
    for (const Constraint& c : system.constraints) {
        if (c.isRequired()) {
            continue;
        }
        const double value = c.expression().value();
        const double error = c.op() == RelationalOperator::Equal         ? std::abs(value)
                             : c.op() == RelationalOperator::LessOrEqual ? std::max(value, 0.0)
                                                                         : std::max(-value, 0.0);
        total += c.strength() * error;
    }
    for (std::size_t i = 0; i < variableCount; ++i) {
        if (system.edits[i]) {
            const double target = system.edits[i]->suggested ? system.edits[i]->suggestion : 0.0;
            total += system.edits[i]->strength * std::abs(system.variables[i].value() - target);
        }
    }
    return total;
}

std::array<double, variableCount> valuesOf(const System& system) {
    std::array<double, variableCount> values{};
    for (std::size_t i = 0; i < variableCount; ++i) {
        values[i] = system.variables[i].value();
    }
    return values;
}

void checkRequiredHold(const System& system) {
    for (const Constraint& c : system.constraints) {
        check(!c.isRequired() || c.satisfied(), "a required constraint does not hold");
    }
}

bool mentions(const Constraint& c, const Variable& v) {
    for (const Term& term : c.expression().terms()) {
        if (term.variable.sameAs(v)) {
            return true;
        }
    }
    return false;
}

// An edit variable that nothing else constrains takes its suggestion exactly.
void checkFreeEditsFollow(const System& system) {
    for (std::size_t i = 0; i < variableCount; ++i) {
        if (!system.edits[i] || !system.edits[i]->suggested) {
            continue;
        }
        bool free = true;
        for (const Constraint& c : system.constraints) {
            free = free && !mentions(c, system.variables[i]);
        }
        if (free) {
            check(std::abs(system.variables[i].value() - system.edits[i]->suggestion) <= 1e-6,
                  "a free edit variable did not take its suggestion");
        }
    }
}

// Two optimal solutions weigh the same up to rounding, which the strengths magnify: values carry
// errors of about 1e-12 of their size, so allow 1e-9 of every weight times the largest value.
double tolerance(const System& system, double a, double b) {
    double weights = 0.0;
    for (const Constraint& c : system.constraints) {
        weights += c.isRequired() ? 0.0 : c.strength();
    }
    for (const std::optional<Edit>& edit : system.edits) {
        weights += edit ? edit->strength : 0.0;
    }
    double largest = 1.0;
    for (const Variable& v : system.variables) {
        largest = std::max(largest, std::abs(v.value()));
    }
    return 1e-6 * (1.0 + std::abs(a) + std::abs(b)) + 1e-9 * weights * largest;
}

// A solver built from scratch for the same system reaches the same weighted error.
void checkAsGoodAsAfresh(System& system) {
    const double incremental = weightedError(system);
    const std::array<double, variableCount> kept = valuesOf(system);
    Solver fresh;
    for (const Constraint& c : system.constraints) {
        fresh.addConstraint(c);
    }
    for (std::size_t i = 0; i < variableCount; ++i) {
        if (system.edits[i]) {
            fresh.addEditVariable(system.variables[i], system.edits[i]->strength);
            if (system.edits[i]->suggested) {
                fresh.suggestValue(system.variables[i], system.edits[i]->suggestion);
            }
        }
    }
    fresh.updateVariables();
    const double afresh = weightedError(system);
    check(std::abs(incremental - afresh) <= tolerance(system, incremental, afresh),
          "the incremental solution is worse or better than a fresh solve");
    for (std::size_t i = 0; i < variableCount; ++i) {
        system.variables[i].setValue(kept[i]);
    }
}

void addConstraint(Input& in, Solver& solver, System& system) {
    if (!system.constraints.empty() && in.byte() % 8 == 0) {
        const Constraint& again = system.constraints[in.byte() % system.constraints.size()];
        try {
            solver.addConstraint(again);
            check(false, "a constraint was added twice");
        } catch (const DuplicateConstraintException&) {
        }
        return;
    }
    const Constraint constraint = constraintFrom(in, system);
    const std::array<double, variableCount> before = valuesOf(system);
    // The current values meet every required constraint; if they meet this one too, it fits.
    const bool fitsNow = constraint.satisfied();
    try {
        solver.addConstraint(constraint);
    } catch (const UnsatisfiableConstraintException&) {
        check(constraint.isRequired(), "a constraint that is not required was refused");
        check(!fitsNow, "a required constraint that the current values meet was refused");
        check(!solver.hasConstraint(constraint), "a refused constraint stayed");
        solver.updateVariables();
        check(valuesOf(system) == before, "a refused constraint changed the solution");
        return;
    }
    system.constraints.push_back(constraint);
}

void removeConstraint(Input& in, Solver& solver, System& system) {
    if (system.constraints.empty()) {
        return;
    }
    const std::size_t which = in.byte() % system.constraints.size();
    solver.removeConstraint(system.constraints[which]);
    check(!solver.hasConstraint(system.constraints[which]), "a removed constraint stayed");
    system.constraints.erase(system.constraints.begin() + static_cast<std::ptrdiff_t>(which));
}

void editStep(Input& in, Solver& solver, System& system, int kind) {
    const std::size_t i = in.byte() % variableCount;
    const Variable& v = system.variables[i];
    std::optional<Edit>& edit = system.edits[i];
    if (kind == 0) { // add
        const double strength = strengths[1 + in.byte() % 3];
        if (edit) {
            try {
                solver.addEditVariable(v, strength);
                check(false, "an edit variable was added twice");
            } catch (const DuplicateEditVariableException&) {
            }
            return;
        }
        solver.addEditVariable(v, strength);
        edit = Edit{strength};
    } else if (kind == 1 && edit) { // suggest
        edit->suggestion = static_cast<std::int16_t>(in.byte() | (in.byte() << 8)) / 16.0;
        edit->suggested = true;
        solver.suggestValue(v, edit->suggestion);
    } else if (kind == 2 && edit) { // remove
        solver.removeEditVariable(v);
        edit.reset();
    } else {
        try {
            solver.suggestValue(v, 1.0);
            check(false, "a suggestion for a variable that is no edit variable was taken");
        } catch (const UnknownEditVariableException&) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    System system;
    Solver solver;
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        const int kind = in.byte() % 6;
        if (kind <= 1) {
            addConstraint(in, solver, system);
        } else if (kind == 2) {
            removeConstraint(in, solver, system);
        } else {
            editStep(in, solver, system, kind - 3);
        }
        solver.updateVariables();
        checkRequiredHold(system);
        checkFreeEditsFollow(system);
        checkAsGoodAsAfresh(system);
    }
    return 0;
}
