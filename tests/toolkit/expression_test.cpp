// Strengths, and expressions and constraints built with the operators.
#include "toolkit/layout/solver.h"

#include <gtest/gtest.h>

using namespace quorvin::layout;

TEST(Strength, LevelsFoldIntoOneNumberAndClip) {
    EXPECT_EQ(strength::create(1000, 1000, 1000), strength::required);
    EXPECT_EQ(strength::create(1, 0, 0), strength::strong);
    EXPECT_EQ(strength::create(0, 1, 0), strength::medium);
    EXPECT_EQ(strength::create(0, 0, 1), strength::weak);
    EXPECT_EQ(strength::create(2000, -5, 3), 1000.0 * 1e6 + 3);
    EXPECT_EQ(strength::create(0, 2, 3, 2.0), 4000.0 + 6);
    EXPECT_EQ(strength::clip(2e9), strength::required);
    EXPECT_EQ(strength::clip(-1.0), 0.0);
    EXPECT_EQ(Constraint(Expression(1.0), RelationalOperator::Equal, 5e9).strength(),
              strength::required);
}

TEST(Expression, OperatorsCombineTermsAndConstants) {
    Variable x("x"), y("y");
    x.setValue(2);
    y.setValue(10);
    Expression e = 3 * x + y * 0.5 - 4 + (x - y) / 2 - -x;
    EXPECT_DOUBLE_EQ(e.value(), 6 + 5 - 4 + (2 - 10) / 2.0 + 2);

    Expression merged = (x + x - 2 * y + 2 * y + 1).reduced();
    ASSERT_EQ(merged.terms().size(), 1u);
    EXPECT_TRUE(merged.terms()[0].variable.sameAs(x));
    EXPECT_EQ(merged.terms()[0].coefficient, 2.0);
    EXPECT_EQ(merged.constant(), 1.0);
}

TEST(Expression, VariablesAreSharedHandles) {
    Variable a("a");
    Variable copy = a;
    copy.setValue(7);
    EXPECT_EQ(a.value(), 7);
    EXPECT_EQ(a.name(), "a");
    EXPECT_TRUE(copy.sameAs(a));
    EXPECT_FALSE(Variable("a").sameAs(a));
}

TEST(Constraint, RelationsMoveEverythingToOneSide) {
    Variable x("x"), y("y");
    Constraint c = x + 5 <= 2 * y;
    EXPECT_EQ(c.op(), RelationalOperator::LessOrEqual);
    EXPECT_TRUE(c.isRequired());
    EXPECT_EQ(c.expression().constant(), 5.0);
    x.setValue(1);
    y.setValue(3);
    EXPECT_TRUE(c.satisfied());
    y.setValue(2.9);
    EXPECT_FALSE(c.satisfied());

    Constraint weakCopy = c | strength::weak;
    EXPECT_EQ(weakCopy.strength(), strength::weak);
    EXPECT_FALSE(weakCopy.sameAs(c));
    EXPECT_EQ((x >= 1.0).op(), RelationalOperator::GreaterOrEqual);
    EXPECT_EQ((x == y).op(), RelationalOperator::Equal);
}
