// startServing: the launch on the pool and the report of its outcome whenever it comes.
#include "app/servercontrol.h"

#include "app/browsers.h"
#include "app/mainwindow.h"
#include "server/launchoutcome.h"

#include <memory>
#include <optional>

namespace quorvin {

namespace {

// The launch of this window, from the choice until it fails.
struct Launch {
    std::shared_ptr<LaunchOutcome> outcome;
    std::string folder;
    bool shownServing = false;
};

std::optional<Launch> launch;

void lockChoice(bool locked) {
    selectFolderButton->enable(!locked);
    helpText->setDropTarget(!locked);
}

} // namespace

void startServing(const std::string& folder) {
    if (launch) {
        return;
    }
    lockChoice(true);
    // The worker only posts to the frame's handle: it never touches a window object, and a
    // window that is gone by then is no harm.
    HWND frame = mainFrame->handle();
    launch = Launch{LaunchOutcome::create([frame] { wWindow::wake(frame); }), folder};
    spawnLaunch(launch->outcome->launchArgument(folder));
}

bool isChoiceLocked() {
    return launch.has_value();
}

void onLaunchChanged() {
    if (!launch) {
        return;
    }
    switch (launch->outcome->state()) {
    case LaunchOutcome::State::Pending:
        return;
    case LaunchOutcome::State::Listening:
        if (!launch->shownServing) {
            launch->shownServing = true;
            openServerPage();
            showStatus({serverAddress() + " - " + launch->folder});
        }
        return;
    case LaunchOutcome::State::Failed:
        showStatus({"Cannot serve - " + launchErrorText(launch->outcome->error())});
        launch.reset();
        lockChoice(false);
        return;
    }
}

void forgetLaunch() {
    launch.reset();
}

} // namespace quorvin
