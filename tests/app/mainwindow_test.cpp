// The main window as built: title, styles, placement, the constraint layout across resizes,
// the fonts and the status line.
#include "app/displaytexts.h"
#include "app/mainwindow.h"
#include "windowtesting.h"

#include <richedit.h>

#include <cmath>
#include <regex>

namespace quorvin::testing {

namespace {

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The font a control was given; a rich edit control does not answer WM_GETFONT, so its font is
// the one the toolkit handed it.
LOGFONTW fontOf(HWND window) {
    LOGFONTW logFont{};
    auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    if (font == nullptr && window == helpText->handle()) {
        font = helpText->font().handle();
    }
    GetObjectW(font, sizeof logFont, &logFont);
    return logFont;
}

} // namespace

using MainWindow = MainWindowTest;

TEST_F(MainWindow, FrameHasTitleClassStylesAndIcon) {
    EXPECT_EQ(mainFrame->label(), decodeDisplayTexts().title);
    EXPECT_EQ(classOf(mainFrame->handle()), L"wFrame");
    EXPECT_EQ(classOf(mainPanel->handle()), L"wPanel");
    const LONG_PTR style = GetWindowLongPtrW(mainFrame->handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN),
              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
    EXPECT_TRUE(GetWindowLongPtrW(mainFrame->handle(), GWL_EXSTYLE) & WS_EX_COMPOSITED);
    EXPECT_TRUE(IsWindowVisible(mainFrame->handle()));
    EXPECT_NE(SendMessageW(mainFrame->handle(), WM_GETICON, ICON_SMALL, 0), 0);
    const LONG_PTR helpStyle = GetWindowLongPtrW(helpText->handle(), GWL_STYLE);
    EXPECT_EQ(helpStyle, WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY);
    EXPECT_EQ(_wcsicmp(classOf(helpText->handle()).c_str(), L"RICHEDIT50W"), 0);
    EXPECT_TRUE(helpText->isDropTarget());
}

TEST_F(MainWindow, IsPlacedAboveTheBottomRightCornerOfTheScreen) {
    if (GetSystemMetrics(SM_CXSCREEN) != 1920 || GetSystemMetrics(SM_CYSCREEN) != 1080) {
        GTEST_SKIP() << "placement is checked on a 1920x1080 screen";
    }
    RECT frame = rectOf(*mainFrame);
    EXPECT_EQ(frame.left, 1420);
    EXPECT_EQ(frame.top, 580);
    EXPECT_EQ(widthOf(frame), 400);
    EXPECT_EQ(heightOf(frame), 400);
}

TEST_F(MainWindow, IsCentredOnASmallScreen) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (screenWidth > 600 && screenHeight > 600) {
        GTEST_SKIP() << "centring is checked on a screen of at most 600 pixels";
    }
    RECT frame = rectOf(*mainFrame);
    EXPECT_EQ(frame.left, (screenWidth - 400) / 2);
    EXPECT_EQ(frame.top, (screenHeight - 400) / 2);
    EXPECT_EQ(widthOf(frame), 400);
    EXPECT_EQ(heightOf(frame), 400);
}

TEST_F(MainWindow, FirstLayoutPutsTheRowBelowTheHelpText) {
    const int rowHeight = heightOf(rectOf(*homeLink));
    expectLayoutHolds(rowHeight);
    // The row settles near its controls' own heights; the help text takes the rest.
    EXPECT_GE(rowHeight, 10);
    EXPECT_LE(rowHeight, 40);
    EXPECT_EQ(widthOf(rectOf(*selectFolderButton)), defaultButtonSize(wFont()).cx);
    EXPECT_EQ(widthOf(rectOf(*homeLink)), homeLink->bestSize().cx);
}

TEST_F(MainWindow, ResizingKeepsTheRowAndTheFixedWidths) {
    const int rowHeight = heightOf(rectOf(*homeLink));
    const int homeWidth = widthOf(rectOf(*homeLink));
    const int buttonWidth = widthOf(rectOf(*selectFolderButton));
    for (SIZE size : {SIZE{700, 520}, SIZE{420, 300}, SIZE{1000, 800}}) {
        resizeFrame(size.cx, size.cy);
        SCOPED_TRACE(size.cx);
        expectLayoutHolds(rowHeight);
        EXPECT_EQ(widthOf(rectOf(*homeLink)), homeWidth);
        EXPECT_EQ(widthOf(rectOf(*selectFolderButton)), buttonWidth);
    }
}

TEST_F(MainWindow, MaximiseAndRestoreRerunTheLayout) {
    const int rowHeight = heightOf(rectOf(*homeLink));
    const RECT before = rectOf(*contactLink);
    ShowWindow(mainFrame->handle(), SW_MAXIMIZE);
    ASSERT_TRUE(pumpUntil([] { return IsZoomed(mainFrame->handle()) != FALSE; }));
    pumpFor(100);
    EXPECT_GT(mainPanel->clientSize().cx, 400);
    expectLayoutHolds(rowHeight);
    ShowWindow(mainFrame->handle(), SW_RESTORE);
    pumpFor(100);
    expectLayoutHolds(rowHeight);
    const RECT after = rectOf(*contactLink);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.right, before.right);
}

TEST_F(MainWindow, ControlsHaveTheirFonts) {
    if (!isStandardScreen()) {
        GTEST_SKIP() << "pixel heights are those of 96 DPI";
    }
    struct Expected {
        HWND window;
        LONG height;
        LONG weight;
    };
    for (const Expected& expected :
         {Expected{helpText->handle(), -16, 400}, Expected{selectFolderButton->handle(), -13, 400},
          Expected{homeLink->handle(), -14, 400}, Expected{contactLink->handle(), -13, 400}}) {
        LOGFONTW font = fontOf(expected.window);
        EXPECT_EQ(font.lfHeight, expected.height);
        EXPECT_EQ(font.lfWeight, expected.weight);
        EXPECT_FALSE(font.lfUnderline);
        EXPECT_FALSE(font.lfItalic);
        EXPECT_EQ(std::wstring(font.lfFaceName), std::wstring(messageLogFont().lfFaceName));
    }
    // The rich edit control took the 12 pt font as its default character format.
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    SendMessageW(helpText->handle(), EM_GETCHARFORMAT, SCF_DEFAULT,
                 reinterpret_cast<LPARAM>(&format));
    EXPECT_EQ(format.yHeight, 240);
}

TEST_F(MainWindow, StatusLineShowsVersionThenReportsWithTheTime) {
    EXPECT_EQ(statusBar->statusText(), "     Version 20.08.14");
    showStatus({"Not a folder - C:\\a b", "x"});
    EXPECT_TRUE(std::regex_match(statusBar->statusText(),
                                 std::regex(R"( Not a folder - C:\\a b x - \d\d:\d\d:\d\d)")))
        << statusBar->statusText();
    EXPECT_EQ(statusLine({"127.0.0.1:4321 - C:\\Site"}, "14:03:09"),
              " 127.0.0.1:4321 - C:\\Site - 14:03:09");
}

TEST_F(MainWindow, ClosingTheFrameEndsTheMessageLoop) {
    PostMessageW(mainFrame->handle(), WM_CLOSE, 0, 0);
    runMessageLoop();
    EXPECT_EQ(mainFrame->handle(), nullptr);
    EXPECT_EQ(helpText->handle(), nullptr);
}

} // namespace quorvin::testing
