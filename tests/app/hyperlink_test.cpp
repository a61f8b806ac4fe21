// The links under the real pointer: hover font and box, press, leave, release and click.
#include "app/mainwindow.h"
#include "windowtesting.h"

namespace quorvin::testing {

namespace {

// The text colour the panel hands the link's painting, through the reflected WM_CTLCOLORSTATIC.
COLORREF paintedTextColor(const wHyperlink& link) {
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(mainPanel->handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(link.handle()));
    COLORREF color = GetTextColor(dc);
    DeleteDC(dc);
    return color;
}

LOGFONTW fontOf(const wHyperlink& link) {
    LOGFONTW logFont{};
    auto font = reinterpret_cast<HFONT>(SendMessageW(link.handle(), WM_GETFONT, 0, 0));
    GetObjectW(font, sizeof logFont, &logFont);
    return logFont;
}

// A point inside the help text, away from the links.
POINT outside() {
    return centerOf(helpText->handle());
}

void leaveTo(POINT point, const wHyperlink& link) {
    moveMouseTo(point);
    ASSERT_TRUE(pumpUntil([&link] { return !link.isHover(); }, 3000)) << "no mouse leave";
}

constexpr COLORREF blue = RGB(0, 0, 255);
constexpr COLORREF red = RGB(255, 0, 0);
constexpr COLORREF purple = RGB(85, 26, 139);

} // namespace

using Hyperlink = MainWindowTest;

TEST_F(Hyperlink, HoverSwitchesFontAndRefitsAtTheTopLeftCorner) {
    moveMouseTo(outside());
    wHyperlink& link = *contactLink;
    const RECT resting = link.rect();
    moveMouseTo(centerOf(link.handle()));
    ASSERT_TRUE(pumpUntil([&link] { return link.isHover(); }));
    LOGFONTW hover = fontOf(link);
    EXPECT_EQ(hover.lfWeight, FW_BOLD);
    EXPECT_TRUE(hover.lfUnderline);
    const RECT hovered = link.rect();
    EXPECT_EQ(hovered.left, resting.left);
    EXPECT_EQ(hovered.top, resting.top);
    EXPECT_EQ(hovered.right - hovered.left, link.bestSize().cx);
    EXPECT_EQ(hovered.bottom - hovered.top, link.bestSize().cy);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    leaveTo(outside(), link);
    EXPECT_EQ(fontOf(link).lfWeight, FW_NORMAL);
    EXPECT_FALSE(fontOf(link).lfUnderline);
    EXPECT_EQ(link.rect().right - link.rect().left, link.bestSize().cx);
    // Hovering opens nothing; the shell's hand-over would take a moment to show.
    ASSERT_TRUE(urlRecordAvailable()) << "no URL record (QUORVIN_OPENED_URLS)";
    pumpFor(500);
    EXPECT_TRUE(openedUrls().empty());
}

TEST_F(Hyperlink, PressLeaveAndReleaseOpensNothing) {
    wHyperlink& link = *homeLink;
    moveMouseTo(centerOf(link.handle()));
    ASSERT_TRUE(pumpUntil([&link] { return link.isHover(); }));
    pressLeftButton();
    EXPECT_TRUE(link.isPressed());
    EXPECT_EQ(paintedTextColor(link), red);
    leaveTo(outside(), link);
    EXPECT_EQ(paintedTextColor(link), blue);
    releaseLeftButton();
    EXPECT_FALSE(link.isPressed());
    EXPECT_FALSE(link.isVisited());
    pumpFor(500);
    EXPECT_TRUE(openedUrls().empty());
}

TEST_F(Hyperlink, PressOutsideAndReleaseOverTheLinkIsNoClick) {
    ASSERT_TRUE(urlRecordAvailable()) << "no URL record (QUORVIN_OPENED_URLS)";
    wHyperlink& link = *homeLink;
    // The press lands on the bare panel right of the row, which takes no capture, so the link
    // sees the pointer come and the button go up over it.
    const RECT row = link.rect();
    POINT bare{mainPanel->clientSize().cx - 10, (row.top + row.bottom) / 2};
    ClientToScreen(mainPanel->handle(), &bare);
    moveMouseTo(bare);
    pressLeftButton();
    moveMouseTo(centerOf(link.handle()));
    ASSERT_TRUE(pumpUntil([&link] { return link.isHover(); })) << "the link saw no pointer";
    releaseLeftButton();
    EXPECT_FALSE(link.isPressed());
    EXPECT_FALSE(link.isVisited());
    pumpFor(500);
    EXPECT_TRUE(openedUrls().empty());
    leaveTo(outside(), link);
    EXPECT_EQ(paintedTextColor(link), blue);
}

TEST_F(Hyperlink, ClickOpensTheTargetOnceAndTurnsPurpleAfterLeaving) {
    if (!urlRecordAvailable()) {
        GTEST_SKIP() << "no URL record (QUORVIN_OPENED_URLS)";
    }
    wHyperlink& link = *homeLink;
    ASSERT_FALSE(link.targetUrl().empty());
    moveMouseTo(centerOf(link.handle()));
    ASSERT_TRUE(pumpUntil([&link] { return link.isHover(); }));
    pressLeftButton();
    releaseLeftButton();
    EXPECT_TRUE(link.isVisited());
    EXPECT_EQ(paintedTextColor(link), blue);
    std::vector<std::string> urls = waitForOpenedUrls(1);
    pumpFor(300);
    EXPECT_EQ(openedUrls(), std::vector<std::string>{link.targetUrl()});
    leaveTo(outside(), link);
    EXPECT_EQ(paintedTextColor(link), purple);
}

TEST_F(Hyperlink, LinkEventAnsweredOneKeepsTheTargetClosed) {
    wHyperlink& link = *homeLink;
    int raised = 0;
    mainPanel->connect(wEventType::MyLink, [&raised](wEvent& event) {
        ++raised;
        event.setResult(1);
    });
    moveMouseTo(centerOf(link.handle()));
    ASSERT_TRUE(pumpUntil([&link] { return link.isHover(); }));
    pressLeftButton();
    releaseLeftButton();
    EXPECT_EQ(raised, 1);
    EXPECT_TRUE(link.isVisited());
    pumpFor(500);
    EXPECT_TRUE(openedUrls().empty());
    moveMouseTo(outside());
}

} // namespace quorvin::testing
