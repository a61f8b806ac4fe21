// Edit variables: suggestions weighed by strength, repeated suggestions, and misuse.
#include "toolkit/layout/solver.h"

#include <gtest/gtest.h>

using namespace quorvin::layout;

TEST(Edits, SuggestionsAreWeighedByStrength) {
    Solver solver;
    Variable left("left"), right("right");
    solver.addConstraint(right == left + 100);
    solver.addEditVariable(left, strength::weak);
    solver.addEditVariable(right, strength::strong);
    solver.suggestValue(left, 0);
    solver.suggestValue(right, 500);
    solver.updateVariables();
    EXPECT_NEAR(left.value(), 400, 1e-9);
    EXPECT_NEAR(right.value(), 500, 1e-9);
}

TEST(Edits, MoreSuggestionsOutweighFewer) {
    // Three weak suggestions pull x to 30 and one pulls it to 0: the majority wins.
    Solver solver;
    Variable x("x"), a("a"), b("b"), c("c"), d("d");
    for (const Variable& v : {a, b, c, d}) {
        solver.addConstraint(v == x);
        solver.addEditVariable(v, 0.1);
    }
    solver.suggestValue(a, 30);
    solver.suggestValue(b, 30);
    solver.suggestValue(c, 30);
    solver.suggestValue(d, 0);
    solver.updateVariables();
    EXPECT_NEAR(x.value(), 30, 1e-9);
    solver.suggestValue(a, 0);
    solver.suggestValue(b, 0);
    solver.updateVariables();
    EXPECT_NEAR(x.value(), 0, 1e-9);
}

TEST(Edits, SuggestingAgainAfterASolveMovesFromTheCurrentSolution) {
    Solver solver;
    Variable x("x"), y("y"), width("width");
    solver.addConstraint(x >= 0);
    solver.addConstraint(x + width <= 1000);
    solver.addConstraint(y == x + width / 2);
    solver.addEditVariable(x, strength::strong);
    solver.addEditVariable(width, strength::medium);
    const double cases[][4] = {
        // x, width suggested -> x, width solved
        {100, 200, 100, 200},  {900, 200, 900, 100}, {-50, 300, 0, 300},
        {400, 2000, 400, 600}, {100, 200, 100, 200},
    };
    for (const auto& c : cases) {
        solver.suggestValue(x, c[0]);
        solver.suggestValue(width, c[1]);
        solver.updateVariables();
        EXPECT_NEAR(x.value(), c[2], 1e-9) << c[0] << "," << c[1];
        EXPECT_NEAR(width.value(), c[3], 1e-9) << c[0] << "," << c[1];
        EXPECT_NEAR(y.value(), c[2] + c[3] / 2, 1e-9);
    }
}

TEST(Edits, EditVariableRules) {
    Solver solver;
    Variable x("x"), unknown("u");
    EXPECT_FALSE(solver.hasEditVariable(x));
    solver.addEditVariable(x, strength::required - 1);
    EXPECT_TRUE(solver.hasEditVariable(x));
    EXPECT_THROW(solver.addEditVariable(x, strength::weak), DuplicateEditVariableException);
    EXPECT_THROW(solver.addEditVariable(unknown, strength::required),
                 RequiredEditStrengthException);
    EXPECT_THROW(solver.addEditVariable(unknown, 5e9), RequiredEditStrengthException);
    EXPECT_THROW(solver.suggestValue(unknown, 1), UnknownEditVariableException);

    solver.suggestValue(x, 12);
    solver.updateVariables();
    EXPECT_NEAR(x.value(), 12, 1e-9);
    // Just below required still gives way to a required constraint.
    solver.addConstraint(x <= 10);
    solver.updateVariables();
    EXPECT_NEAR(x.value(), 10, 1e-9);

    solver.removeEditVariable(x);
    EXPECT_FALSE(solver.hasEditVariable(x));
    EXPECT_THROW(solver.removeEditVariable(x), UnknownEditVariableException);
    try {
        solver.suggestValue(x, 1);
        ADD_FAILURE() << "a suggestion for a removed edit variable was taken";
    } catch (const UnknownEditVariableException& e) {
        EXPECT_TRUE(e.variable().sameAs(x));
        EXPECT_STREQ(e.what(), "UnknownEditVariableException");
    }
}
