// The solver's exceptions: each is named by its class and carries the constraint or variable at
// fault.
#pragma once

#include "runtime/errors.h"
#include "toolkit/layout/constraint.h"

namespace quorvin::layout {

#define QUORVIN_SOLVER_ERROR(Name, Subject, accessor)                                              \
    class Name : public ProgramError {                                                             \
    public:                                                                                        \
        explicit Name(Subject subject) : ProgramError(#Name), subject_(std::move(subject)) {}      \
        const char* typeName() const noexcept override { return #Name; }                           \
        const Subject& accessor() const noexcept { return subject_; }                              \
                                                                                                   \
    private:                                                                                       \
        Subject subject_;                                                                          \
    };

// A required constraint that contradicts the required constraints already added.
QUORVIN_SOLVER_ERROR(UnsatisfiableConstraintException, Constraint, constraint)
// A constraint that was added before.
QUORVIN_SOLVER_ERROR(DuplicateConstraintException, Constraint, constraint)
// Removal of a constraint that was never added.
QUORVIN_SOLVER_ERROR(UnknownConstraintException, Constraint, constraint)
// A variable that is already an edit variable.
QUORVIN_SOLVER_ERROR(DuplicateEditVariableException, Variable, variable)
// A suggestion for a variable that is not an edit variable.
QUORVIN_SOLVER_ERROR(UnknownEditVariableException, Variable, variable)
// An edit variable asked for at the required strength, which would make suggestions unsatisfiable.
QUORVIN_SOLVER_ERROR(RequiredEditStrengthException, Variable, variable)

#undef QUORVIN_SOLVER_ERROR

} // namespace quorvin::layout
