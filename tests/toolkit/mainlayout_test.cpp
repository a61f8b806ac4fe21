// The main window's layout system solved for several panel sizes: the bottom row of links and
// button under the help text, first from the controls' creation sizes, then across resizes.
#include "toolkit/layout/solver.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace quorvin::layout;

namespace {

struct Rect {
    double x, y, width, height;
};

struct Box {
    Variable x, y, width, height;
    Expression right() const { return x + width; }
    Expression bottom() const { return y + height; }
    Rect rect() const { return {x.value(), y.value(), width.value(), height.value()}; }
};

constexpr double panelStrength = 1001000999.0;

// The panel's container: the solver with the panel and the four controls, built once.
class MainLayout {
public:
    MainLayout() {
        for (const Variable& v : {panel.x, panel.y, panel.width, panel.height}) {
            solver.addEditVariable(v, panelStrength);
        }
        addControl(helpText, {helpText.x == panel.x, helpText.right() == panel.right(),
                              helpText.y == panel.y});
        addControl(homeLink, {homeLink.x == panel.x + 15, homeLink.y == helpText.bottom(),
                              homeLink.bottom() == panel.bottom()});
        addControl(button, {button.x == homeLink.right() + 10, button.y == helpText.bottom(),
                            button.bottom() == panel.bottom()});
        addControl(contactLink,
                   {contactLink.x == button.right() + 10,
                    contactLink.right() == panel.right() - 0.25 * panel.width,
                    contactLink.y == helpText.bottom(), contactLink.bottom() == panel.bottom()});
    }

    // One layout pass: the panel's client size and each control's current rectangle.
    void resolve(double width, double height, const std::array<Rect, 4>& current) {
        suggest(panel, {0, 0, width, height});
        for (std::size_t i = 0; i < controls.size(); ++i) {
            suggest(*controls[i], current[i]);
        }
        solver.updateVariables();
    }

    std::array<Rect, 4> rects() const {
        return {helpText.rect(), homeLink.rect(), button.rect(), contactLink.rect()};
    }

    Box panel, helpText, homeLink, button, contactLink;
    std::array<Box*, 4> controls{&helpText, &homeLink, &button, &contactLink};
    Solver solver;

private:
    void addControl(const Box& box, std::initializer_list<Constraint> constraints) {
        for (const Variable& v : {box.x, box.y}) {
            if (!solver.hasEditVariable(v)) {
                solver.addEditVariable(v, 0.01);
            }
        }
        for (const Variable& v : {box.width, box.height}) {
            if (!solver.hasEditVariable(v)) {
                solver.addEditVariable(v, 0.1);
            }
        }
        for (const Constraint& c : constraints) {
            solver.addConstraint(c);
        }
    }

    void suggest(const Box& box, const Rect& r) {
        solver.suggestValue(box.x, r.x);
        solver.suggestValue(box.y, r.y);
        solver.suggestValue(box.width, r.width);
        solver.suggestValue(box.height, r.height);
    }
};

// Sizes at creation: a three-line text control, the links' label extents, the default button.
constexpr std::array<Rect, 4> created{{
    {0, 0, 120, 3 * 19},
    {0, 0, 70, 19},
    {0, 0, 75, 23},
    {0, 0, 80, 16},
}};

void expectRect(const Rect& actual, const Rect& expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-6) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-6) << what;
    EXPECT_NEAR(actual.width, expected.width, 1e-6) << what;
    EXPECT_NEAR(actual.height, expected.height, 1e-6) << what;
}

// The layout the weights give: the row is as tall as its tallest control (three row heights
// pulling down outweigh the help text's one height and the row's three tops pulling up), the
// link and the button keep their widths, and the help text takes the rest.
void expectMainLayout(const MainLayout& layout, double width, double height, double rowHeight) {
    double top = height - rowHeight;
    auto r = layout.rects();
    expectRect(r[0], {0, 0, width, top}, "helpText");
    expectRect(r[1], {15, top, 70, rowHeight}, "homeLink");
    expectRect(r[2], {95, top, 75, rowHeight}, "selectFolderButton");
    expectRect(r[3], {180, top, 0.75 * width - 180, rowHeight}, "contactLink");
}

} // namespace

TEST(MainLayout, FirstRunPlacesTheRowUnderTheHelpText) {
    for (auto [width, height] : {std::pair{384.0, 339.0}, {400.0, 300.0}, {1000.0, 700.0}}) {
        MainLayout layout;
        layout.resolve(width, height, created);
        SCOPED_TRACE(width);
        expectMainLayout(layout, width, height, 23);
        EXPECT_NEAR(layout.panel.width.value(), width, 1e-6);
        EXPECT_NEAR(layout.panel.height.value(), height, 1e-6);
    }
}

TEST(MainLayout, ResizingKeepsRowHeightAndWidths) {
    MainLayout layout;
    layout.resolve(384, 339, created);
    const double sizes[][2] = {{600, 500}, {1904, 1000}, {360, 120}, {500, 339}, {384, 339}};
    for (const auto& size : sizes) {
        // Each pass starts from the rectangles the previous one gave the controls.
        layout.resolve(size[0], size[1], layout.rects());
        SCOPED_TRACE(size[0]);
        expectMainLayout(layout, size[0], size[1], 23);
    }
}

TEST(MainLayout, RoundedRectanglesTouchWithoutGaps) {
    MainLayout layout;
    layout.resolve(383, 341, created);
    auto r = layout.rects();
    auto round = [](double v) { return std::round(v); };
    EXPECT_EQ(round(r[0].y + r[0].height), round(r[1].y));
    EXPECT_EQ(round(r[1].x + r[1].width) + 10, round(r[2].x));
    EXPECT_EQ(round(r[2].x + r[2].width) + 10, round(r[3].x));
    EXPECT_EQ(round(r[3].x + r[3].width), round(0.75 * 383)); // 287.25
    EXPECT_EQ(round(r[3].y + r[3].height), 341);
}

TEST(MainLayout, ConstraintsHoldForAnyPanelSize) {
    // Even where the weak preferences cannot all be met, the required equalities hold.
    MainLayout layout;
    for (auto [width, height] : {std::pair{50.0, 30.0}, {0.0, 0.0}, {250.0, 60.0}}) {
        layout.resolve(width, height, layout.rects());
        auto r = layout.rects();
        SCOPED_TRACE(width);
        EXPECT_NEAR(r[0].width, width, 1e-6);
        EXPECT_NEAR(r[1].y + r[1].height, height, 1e-6);
        EXPECT_NEAR(r[3].x + r[3].width, 0.75 * width, 1e-6);
        EXPECT_NEAR(r[1].y, r[0].height, 1e-6);
        EXPECT_NEAR(r[2].y, r[3].y, 1e-6);
    }
}
