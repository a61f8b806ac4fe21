// The main window's geometry under what a user does: hovering the links, resizing, maximising,
// minimising, shrinking the frame to nothing; the keyboard between the controls; and the order
// in which the frame gives up what it holds.
#include "app/mainwindow.h"
#include "toolkit/chooserdriver.h"
#include "windowtesting.h"

#include <vector>

namespace quorvin::testing {

namespace {

// The rectangles of the panel and of its four controls.
std::vector<RECT> layoutRects() {
    return {rectOf(*mainPanel), rectOf(*helpText), rectOf(*homeLink), rectOf(*selectFolderButton),
            rectOf(*contactLink)};
}

void expectSameRects(const std::vector<RECT>& expected, const char* when) {
    const std::vector<RECT> now = layoutRects();
    const char* names[] = {"panel", "helpText", "homeLink", "selectFolderButton", "contactLink"};
    for (std::size_t i = 0; i < now.size(); ++i) {
        EXPECT_TRUE(EqualRect(&now[i], &expected[i]))
            << when << ": " << names[i] << " is (" << now[i].left << ", " << now[i].top << ", "
            << now[i].right << ", " << now[i].bottom << "), was (" << expected[i].left << ", "
            << expected[i].top << ", " << expected[i].right << ", " << expected[i].bottom << ")";
    }
}

// Hovers the link, resizes the frame by a few pixels while the pointer is over it, and leaves.
void hoverResizeAndLeave(const wHyperlink& link, SIZE size) {
    moveMouseTo(centerOf(link.handle()));
    ASSERT_TRUE(pumpUntil([&link] { return link.isHover(); })) << "no hover";
    resizeFrame(size.cx, size.cy);
    moveMouseTo(centerOf(helpText->handle()));
    ASSERT_TRUE(pumpUntil([&link] { return !link.isHover(); }, 3000)) << "no mouse leave";
}

void maximiseAndRestore() {
    ShowWindow(mainFrame->handle(), SW_MAXIMIZE);
    ASSERT_TRUE(pumpUntil([] { return IsZoomed(mainFrame->handle()) != FALSE; }));
    pumpFor(100);
    ShowWindow(mainFrame->handle(), SW_RESTORE);
    ASSERT_TRUE(pumpUntil([] { return IsZoomed(mainFrame->handle()) == FALSE; }));
    pumpFor(100);
}

// Clicks of the button, counted by the folder chooser they open, which is cancelled at once.
int chooserShown = 0;

void CALLBACK cancelChooserOnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND chooser = findVisibleChooser()) {
        ++chooserShown;
        answerChooser(chooser, "");
    }
}

} // namespace

using WindowGeometry = MainWindowTest;

TEST_F(WindowGeometry, HoveringTheLinksLeavesTheLayoutAsItWasFirstMade) {
    const std::vector<RECT> first = layoutRects();
    const int rowHeight = heightOf(first[2]);
    hoverResizeAndLeave(*homeLink, SIZE{402, 400});
    hoverResizeAndLeave(*contactLink, SIZE{400, 403});
    for (SIZE size : {SIZE{403, 401}, SIZE{396, 405}, SIZE{400, 400}}) {
        resizeFrame(size.cx, size.cy);
        SCOPED_TRACE(size.cx);
        expectLayoutHolds(rowHeight);
    }
    expectSameRects(first, "after hovering and resizing");
    maximiseAndRestore();
    expectSameRects(first, "after maximising and restoring");
}

TEST_F(WindowGeometry, MinimisingLaysNothingOutAndRestoringKeepsTheLayout) {
    const std::vector<RECT> first = layoutRects();
    ShowWindow(mainFrame->handle(), SW_MINIMIZE);
    ASSERT_TRUE(pumpUntil([] { return IsIconic(mainFrame->handle()) != FALSE; }));
    pumpFor(100);
    expectSameRects(first, "while minimised");
    ShowWindow(mainFrame->handle(), SW_RESTORE);
    ASSERT_TRUE(pumpUntil([] { return IsIconic(mainFrame->handle()) == FALSE; }));
    pumpFor(100);
    expectSameRects(first, "after restoring");
}

TEST_F(WindowGeometry, TheSmallestFrameStillShowsTheWholeRow) {
    const int rowHeight = heightOf(rectOf(*homeLink));
    const int homeWidth = widthOf(rectOf(*homeLink));
    const int buttonWidth = widthOf(rectOf(*selectFolderButton));
    MINMAXINFO limits{};
    SendMessageW(mainFrame->handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_GT(limits.ptMinTrackSize.x, 15 + homeWidth + 10 + buttonWidth + 10);
    // A user drags the border far inwards; the frame stops at its smallest size.
    resizeFrame(40, 40);
    const RECT frame = rectOf(*mainFrame);
    EXPECT_GE(widthOf(frame), limits.ptMinTrackSize.x);
    EXPECT_GE(heightOf(frame), limits.ptMinTrackSize.y);
    expectLayoutHolds(rowHeight);
    const SIZE panel = mainPanel->clientSize();
    EXPECT_EQ(widthOf(rectOf(*homeLink)), homeWidth);
    EXPECT_EQ(widthOf(rectOf(*selectFolderButton)), buttonWidth);
    const RECT contact = rectOf(*contactLink);
    EXPECT_GE(widthOf(contact), contactLink->bestSize().cx);
    EXPECT_LE(contact.right, panel.cx);
    EXPECT_GE(heightOf(rectOf(*helpText)), 0);
    resizeFrame(400, 400);
    expectLayoutHolds(rowHeight);
}

TEST_F(WindowGeometry, AnImpossiblySmallPanelGetsNoNegativeSizes) {
    // The panel alone squeezed below the row: no control gets a size below zero, and the
    // layout comes back whole afterwards.
    const std::vector<RECT> first = layoutRects();
    mainPanel->setRect(0, 0, 30, 8);
    pumpFor(50);
    for (const RECT& r : layoutRects()) {
        EXPECT_GE(widthOf(r), 0);
        EXPECT_GE(heightOf(r), 0);
    }
    resizeFrame(401, 400);
    resizeFrame(400, 400);
    expectSameRects(first, "after the squeeze");
}

TEST_F(WindowGeometry, TabMovesBetweenHelpTextAndButtonAndEnterOrSpaceClicks) {
    SetForegroundWindow(mainFrame->handle());
    SetFocus(helpText->handle());
    pumpFor(50);
    ASSERT_EQ(GetFocus(), helpText->handle());
    pressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), selectFolderButton->handle());
    // The links are no tab stops: the next Tab goes round to the help text.
    pressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), helpText->handle());
    pressKey(VK_TAB);
    ASSERT_EQ(GetFocus(), selectFolderButton->handle());
    chooserShown = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 150, &cancelChooserOnTimer);
    pressKey(VK_RETURN);
    ASSERT_TRUE(pumpUntil([] { return chooserShown == 1; }, 5000)) << "Enter did not click";
    // The closed chooser hands the focus back to the frame; the user tabs to the button again.
    SetFocus(selectFolderButton->handle());
    pumpFor(100);
    pressKey(VK_SPACE);
    ASSERT_TRUE(pumpUntil([] { return chooserShown == 2; }, 5000)) << "Space did not click";
    KillTimer(nullptr, timer);
    EXPECT_EQ(statusBar->statusText(), "     Version 20.08.14");
}

namespace {

WNDPROC frameProcedure = nullptr;
bool iconAliveAtDestroy = false;

LRESULT CALLBACK watchDestroy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0));
        ICONINFO info{};
        iconAliveAtDestroy = icon != nullptr && GetIconInfo(icon, &info) != FALSE;
        if (iconAliveAtDestroy) {
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
        }
    }
    return CallWindowProcW(frameProcedure, hwnd, message, wParam, lParam);
}

} // namespace

TEST_F(WindowGeometry, TheFramesIconOutlivesTheWindow) {
    frameProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        mainFrame->handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&watchDestroy)));
    iconAliveAtDestroy = false;
    releaseMainWindow();
    EXPECT_TRUE(iconAliveAtDestroy);
}

} // namespace quorvin::testing
