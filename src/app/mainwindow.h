// The main window: its module-level objects, their construction, layout, placement, display
// texts, the status line and the message loop.
#pragma once

#include "app/hyperlink.h"
#include "toolkit/app.h"
#include "toolkit/button.h"
#include "toolkit/frame.h"
#include "toolkit/panel.h"
#include "toolkit/resizer.h"
#include "toolkit/statusbar.h"
#include "toolkit/textctrl.h"

#include <memory>
#include <string>
#include <vector>

namespace quorvin {

// Created in this order by createMainWindow and released in the reverse order.
extern std::unique_ptr<wApp> application;
extern std::unique_ptr<wFrame> mainFrame;
extern std::unique_ptr<wPanel> mainPanel;
extern std::unique_ptr<wTextCtrl> helpText;
extern std::unique_ptr<wButton> selectFolderButton;
extern std::unique_ptr<wHyperlink> homeLink;
extern std::unique_ptr<wHyperlink> contactLink;
extern std::unique_ptr<wStatusBar> statusBar;
// Made by the first layoutPanel and kept.
extern std::unique_ptr<wResizer> layoutContainer;

inline constexpr char windowTitle[] = "Quorvin Software";

// The whole GUI: createMainWindow, runMessageLoop, releaseMainWindow.
void buildMainWindow();
// Creates, fills, connects, places and shows the window.
void createMainWindow();
// Runs the message loop until the main frame has been closed.
void runMessageLoop();
// Releases the objects in the reverse order of their creation.
void releaseMainWindow();

// The size handler of mainPanel: builds the layout container once, then solves and applies it.
void layoutPanel();
// Puts the frame's bottom-right corner 100 pixels from the screen's, or centres it on a small
// screen.
void placeMainWindow();
// Applies the decoded display texts and the version status text.
void applyDisplayTexts();
// " TEXT1 TEXT2 - HH:MM:SS" in field 0 of the status bar.
void showStatus(const std::vector<std::string>& texts);
// The status line text for the texts at the given wall-clock time.
std::string statusLine(const std::vector<std::string>& texts, const std::string& time);

} // namespace quorvin
