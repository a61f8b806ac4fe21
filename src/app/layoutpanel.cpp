// The main panel's constraint layout and the frame's first placement.
#include "app/mainwindow.h"

namespace quorvin {

namespace {

void buildLayout() {
    layoutContainer = std::make_unique<wResizer>(*mainPanel);
    wResizer& layout = *layoutContainer;
    const wControl& panel = *mainPanel;
    layout.addControl(*helpText);
    layout.addConstraint(helpText->x == panel.x);
    layout.addConstraint(helpText->right() == panel.right());
    layout.addConstraint(helpText->y == panel.y);
    layout.addControl(*homeLink);
    layout.addConstraint(homeLink->x == panel.x + 15);
    layout.addConstraint(homeLink->y == helpText->bottom());
    layout.addConstraint(homeLink->bottom() == panel.bottom());
    layout.addControl(*selectFolderButton);
    layout.addConstraint(selectFolderButton->x == homeLink->right() + 10);
    layout.addConstraint(selectFolderButton->y == helpText->bottom());
    layout.addConstraint(selectFolderButton->bottom() == panel.bottom());
    layout.addControl(*contactLink);
    layout.addConstraint(contactLink->x == selectFolderButton->right() + 10);
    layout.addConstraint(contactLink->right() == panel.right() - 0.25 * panel.width);
    layout.addConstraint(contactLink->y == helpText->bottom());
    layout.addConstraint(contactLink->bottom() == panel.bottom());
}

int widthOf(const RECT& bounds) {
    return bounds.right - bounds.left;
}

// The smallest panel that shows the whole row as the first layout made it: the link and the
// button at their widths, the contact link at least at its own, ending at three quarters of
// the panel's width; the help text may shrink to nothing.
void limitFrameSize() {
    const RECT home = homeLink->rect();
    const int row = 15 + widthOf(home) + 10 + widthOf(selectFolderButton->rect()) + 10 +
                    static_cast<int>(contactLink->bestSize().cx);
    const int width = (row * 4 + 2) / 3;
    mainFrame->setMinimumContentSize(SIZE{width, home.bottom - home.top});
}

} // namespace

void layoutPanel() {
    if (!mainPanel || !helpText || !homeLink || !selectFolderButton || !contactLink) {
        return; // a size event while the window is being built or released
    }
    const bool first = !layoutContainer || &layoutContainer->panel() != mainPanel.get();
    if (first) {
        buildLayout();
    }
    layoutContainer->resolve();
    layoutContainer->rearrange();
    if (first) {
        limitFrameSize();
    }
}

void placeMainWindow() {
    RECT frame = mainFrame->rect();
    const int x = GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left) - 100;
    const int y = GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top) - 100;
    if (x <= 100 || y <= 100) {
        mainFrame->center();
    } else {
        mainFrame->move(x, y);
    }
}

} // namespace quorvin
