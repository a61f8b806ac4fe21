// Required and weighted constraints: solving, removal, and the two constraint errors.
#include "toolkit/layout/solver.h"

#include <gtest/gtest.h>

using namespace quorvin::layout;

TEST(Constraints, RequiredEqualitiesChainThroughVariables) {
    Solver solver;
    Variable left("left"), width("width"), right("right"), mid("mid");
    solver.addConstraint(left == 10);
    solver.addConstraint(width == 80);
    solver.addConstraint(right == left + width);
    solver.addConstraint(mid == (left + right) / 2);
    solver.updateVariables();
    EXPECT_DOUBLE_EQ(left.value(), 10);
    EXPECT_DOUBLE_EQ(right.value(), 90);
    EXPECT_DOUBLE_EQ(mid.value(), 50);
}

TEST(Constraints, InequalitiesBoundWeakerPreferences) {
    Solver solver;
    Variable x("x"), y("y");
    solver.addConstraint(x >= 10);
    solver.addConstraint(x <= 20);
    solver.addConstraint(Constraint(x - 100, RelationalOperator::Equal, strength::weak));
    solver.addConstraint(y <= x - 5);
    solver.addConstraint((y == 50) | strength::medium);
    solver.updateVariables();
    EXPECT_NEAR(x.value(), 20, 1e-9); // pulled towards 100, held by x <= 20
    EXPECT_NEAR(y.value(), 15, 1e-9);
}

TEST(Constraints, StrongerPreferenceWins) {
    Solver solver;
    Variable x("x");
    solver.addConstraint((x == 10) | strength::weak);
    solver.addConstraint((x == 30) | strength::strong);
    solver.addConstraint((x == 20) | strength::medium);
    solver.updateVariables();
    EXPECT_NEAR(x.value(), 30, 1e-9);
}

TEST(Constraints, RemovalRestoresTheWeakerSolution) {
    Solver solver;
    Variable x("x"), y("y");
    Constraint pinX = x == 40;
    Constraint atLeast = (x >= 50) | strength::strong;
    solver.addConstraint((x == 5) | strength::weak);
    solver.addConstraint(y == x + 1);
    solver.addConstraint(atLeast);
    solver.updateVariables();
    EXPECT_NEAR(x.value(), 50, 1e-9);

    solver.addConstraint(pinX);
    solver.updateVariables();
    EXPECT_NEAR(x.value(), 40, 1e-9);
    EXPECT_NEAR(y.value(), 41, 1e-9);

    solver.removeConstraint(pinX);
    solver.updateVariables();
    EXPECT_NEAR(x.value(), 50, 1e-9);
    solver.removeConstraint(atLeast);
    solver.updateVariables();
    EXPECT_NEAR(x.value(), 5, 1e-9);
    EXPECT_NEAR(y.value(), 6, 1e-9);
    EXPECT_FALSE(solver.hasConstraint(atLeast));
    EXPECT_THROW(solver.removeConstraint(atLeast), UnknownConstraintException);
}

TEST(Constraints, DuplicateIsRefusedAndNamed) {
    Solver solver;
    Variable x("x");
    Constraint c = x == 1;
    solver.addConstraint(c);
    EXPECT_TRUE(solver.hasConstraint(c));
    EXPECT_FALSE(solver.hasConstraint(x == 1)); // an equal relation, but another constraint
    try {
        solver.addConstraint(c);
        FAIL() << "duplicate accepted";
    } catch (const DuplicateConstraintException& e) {
        EXPECT_STREQ(e.what(), "DuplicateConstraintException");
        EXPECT_STREQ(e.typeName(), "DuplicateConstraintException");
        EXPECT_TRUE(e.constraint().sameAs(c));
    }
}

TEST(Constraints, ContradictionIsRefusedAndLeavesTheSolverWorking) {
    Solver solver;
    Variable x("x"), y("y"), z("z");
    solver.addConstraint(x >= 10);
    solver.addConstraint(y == x + 5);
    Constraint contradiction = y <= 12;
    try {
        solver.addConstraint(contradiction);
        FAIL() << "contradiction accepted";
    } catch (const UnsatisfiableConstraintException& e) {
        EXPECT_STREQ(e.what(), "UnsatisfiableConstraintException");
        EXPECT_STREQ(e.typeName(), "UnsatisfiableConstraintException");
        EXPECT_TRUE(e.constraint().sameAs(contradiction));
    }
    EXPECT_FALSE(solver.hasConstraint(contradiction));
    // Terms that cancel leave constants that disagree.
    EXPECT_THROW(solver.addConstraint(x - x == 1), UnsatisfiableConstraintException);
    EXPECT_THROW(solver.addConstraint(x + z >= 6 + x + z), UnsatisfiableConstraintException);

    solver.addConstraint(y <= 40);
    solver.addConstraint((x == 100) | strength::weak);
    solver.updateVariables();
    EXPECT_NEAR(x.value(), 35, 1e-9);
    EXPECT_NEAR(y.value(), 40, 1e-9);
}

TEST(Constraints, RedundantRequiredEqualitiesAreAccepted) {
    Solver solver;
    Variable a("a"), b("b"), c("c");
    solver.addConstraint(a == b + 1);
    solver.addConstraint(b == c + 1);
    Constraint implied = a == c + 2;
    solver.addConstraint(implied);
    solver.addConstraint(c == 3);
    solver.updateVariables();
    EXPECT_NEAR(a.value(), 5, 1e-9);
    solver.removeConstraint(implied);
    solver.addConstraint((a == 50) | strength::weak);
    solver.updateVariables();
    EXPECT_NEAR(a.value(), 5, 1e-9);
}

TEST(Constraints, RemovingTheTightestOfSeveralBoundsFallsBackToTheNext) {
    Solver solver;
    Variable x("x"), y("y");
    // Removed from the tightest on; each removal leaves the next bound in force.
    Constraint bounds[] = {(x <= 20) | strength::strong, x <= 50, x <= 80, x <= 100};
    solver.addConstraint((x == 200) | strength::weak);
    solver.addConstraint((y == 2 * x) | strength::medium);
    for (const Constraint& bound : {bounds[3], bounds[1], bounds[0], bounds[2]}) {
        solver.addConstraint(bound);
    }
    const double expected[] = {20, 50, 80, 100};
    for (int i = 0; i < 4; ++i) {
        solver.updateVariables();
        EXPECT_NEAR(x.value(), expected[i], 1e-9);
        EXPECT_NEAR(y.value(), 2 * expected[i], 1e-9);
        solver.removeConstraint(bounds[i]);
    }
    solver.updateVariables();
    EXPECT_NEAR(x.value(), 200, 1e-9);
}

// Two equal required equalities: the second is redundant while the first is there and must take
// over when the first goes, even where an inequality on the same variable shares the rows.
TEST(Constraints, RemovingOneOfTwoEqualRequiredEqualitiesKeepsTheOther) {
    struct Case {
        const char* name;
        Constraint bound;
        double pull;
    };
    Variable x("x");
    const Case cases[] = {
        {"bounded below, pulled up", -4 * x <= 0, 54.5},
        {"bounded above, pulled down", x <= 0, -54.5},
        {"bounded below, pulled down", x >= 0, -54.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Solver solver;
        solver.addConstraint(c.bound);
        Constraint first = -4 * x == 0;
        solver.addConstraint(first);
        solver.addConstraint(-4 * x == 0);
        solver.removeConstraint(first);
        solver.addEditVariable(x, strength::medium);
        solver.suggestValue(x, c.pull);
        solver.updateVariables();
        EXPECT_NEAR(x.value(), 0, 1e-9);
    }
}
