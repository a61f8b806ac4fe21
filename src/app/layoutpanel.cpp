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

} // namespace

void layoutPanel() {
    if (!mainPanel || !helpText || !homeLink || !selectFolderButton || !contactLink) {
        return; // a size event while the window is being built or released
    }
    if (!layoutContainer || &layoutContainer->panel() != mainPanel.get()) {
        buildLayout();
    }
    layoutContainer->resolve();
    layoutContainer->rearrange();
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
