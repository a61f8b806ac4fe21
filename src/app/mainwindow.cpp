// The main window's objects, their creation and release, and the message loop.
#include "app/mainwindow.h"

#include "app/displaytexts.h"
#include "app/folderselection.h"
#include "app/servercontrol.h"
#include "runtime/clock.h"
#include "toolkit/icon.h"

namespace quorvin {

std::unique_ptr<wApp> application;
std::unique_ptr<wFrame> mainFrame;
std::unique_ptr<wPanel> mainPanel;
std::unique_ptr<wTextCtrl> helpText;
std::unique_ptr<wButton> selectFolderButton;
std::unique_ptr<wHyperlink> homeLink;
std::unique_ptr<wHyperlink> contactLink;
std::unique_ptr<wStatusBar> statusBar;
std::unique_ptr<wResizer> layoutContainer;

namespace {

constexpr DWORD helpTextStyle = WS_TABSTOP | ES_MULTILINE | ES_READONLY;
constexpr DWORD homeLinkStyle = SS_CENTER | SS_CENTERIMAGE;
constexpr DWORD contactLinkStyle = SS_RIGHT | SS_CENTERIMAGE;
constexpr int helpTextMargin = 15;

void createHelpText() {
    helpText = std::make_unique<wTextCtrl>(mainPanel.get(), "", wPoint{}, wSize{}, helpTextStyle);
    helpText->setDropTarget(true);
    helpText->setMargins(helpTextMargin, helpTextMargin);
    helpText->setFont(wFont(12));
    helpText->setValue(std::string(plainHelpText()));
}

void createBottomRow() {
    selectFolderButton = std::make_unique<wButton>(mainPanel.get(), "Select Folder");
    homeLink = std::make_unique<wHyperlink>(mainPanel.get(), -1, "Visit Home", "", wPoint{},
                                            wSize{}, homeLinkStyle);
    contactLink = std::make_unique<wHyperlink>(mainPanel.get(), -1, "Contact Author", "", wPoint{},
                                               wSize{}, contactLinkStyle);
    selectFolderButton->setFont(wFont(9.5));
    homeLink->setNormalFont(wFont(10.5));
    homeLink->setHoverFont(wFont(9.5, FW_BOLD, true));
    contactLink->setNormalFont(wFont(9.5));
    contactLink->setHoverFont(wFont(9.5, FW_BOLD, true));
}

void connectHandlers() {
    mainPanel->connect(wEventType::Size, [](wEvent&) { layoutPanel(); });
    helpText->connect(wEventType::DragEnter,
                      [](wEvent& event) { onDragEnter(static_cast<wDragDropEvent&>(event)); });
    helpText->connect(wEventType::Drop,
                      [](wEvent& event) { onDrop(static_cast<wDragDropEvent&>(event)); });
    selectFolderButton->connect(wEventType::ButtonClick, [](wEvent&) { onSelectFolder(); });
    mainFrame->connect(wEventType::Wake, [](wEvent&) { onLaunchChanged(); });
}

} // namespace

void createMainWindow() {
    application = std::make_unique<wApp>();
    mainFrame = std::make_unique<wFrame>(windowTitle, wSize{400, 400});
    mainFrame->setIcon(wIcon(programIconGroup));
    mainPanel = std::make_unique<wPanel>(mainFrame.get());
    createHelpText();
    createBottomRow();
    statusBar = std::make_unique<wStatusBar>(mainFrame.get());
    applyDisplayTexts();
    connectHandlers();
    placeMainWindow();
    mainFrame->show();
}

void runMessageLoop() {
    application->mainLoop();
}

void releaseMainWindow() {
    forgetLaunch();
    layoutContainer.reset();
    statusBar.reset();
    contactLink.reset();
    homeLink.reset();
    selectFolderButton.reset();
    helpText.reset();
    mainPanel.reset();
    mainFrame.reset();
    application.reset();
}

void buildMainWindow() {
    createMainWindow();
    runMessageLoop();
    releaseMainWindow();
}

void applyDisplayTexts() {
    DisplayTexts texts = decodeDisplayTexts();
    mainFrame->setLabel(texts.title);
    homeLink->setLabel(texts.homeLabel);
    homeLink->setTargetUrl(texts.homeTarget);
    contactLink->setLabel(texts.contactLabel);
    contactLink->setTargetUrl(texts.contactTarget);
    helpText->loadRichText(texts.helpRtf);
    statusBar->setStatusText(std::string(versionStatusText()));
}

std::string statusLine(const std::vector<std::string>& texts, const std::string& time) {
    std::string line;
    for (const std::string& text : texts) {
        line += " " + text;
    }
    return line + " - " + time;
}

void showStatus(const std::vector<std::string>& texts) {
    statusBar->setStatusText(statusLine(texts, currentWallClock()));
}

} // namespace quorvin
