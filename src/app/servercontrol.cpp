// startServing: the launch on the pool and the report of its outcome.
#include "app/servercontrol.h"

#include "app/browsers.h"
#include "app/mainwindow.h"
#include "server/launchoutcome.h"

namespace quorvin {

namespace {

void lockChoice(bool locked) {
    selectFolderButton->enable(!locked);
    helpText->setDropTarget(!locked);
}

} // namespace

void startServing(const std::string& folder) {
    lockChoice(true);
    std::shared_ptr<LaunchOutcome> outcome = LaunchOutcome::create();
    spawnLaunch(outcome->launchArgument(folder));
    // Binding takes moments; a launch still pending after the wait is taken as serving.
    if (outcome->waitFor(launchReportTimeout) == LaunchOutcome::State::Failed) {
        showStatus({"Cannot serve - " + outcome->errorMessage()});
        lockChoice(false);
        return;
    }
    openServerPage();
    showStatus({serverAddress() + " - " + folder});
}

} // namespace quorvin
