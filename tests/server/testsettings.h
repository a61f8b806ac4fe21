// Settings as every launch fills them, for tests that build responses without a launch.
#pragma once

#include "server/mimetable.h"
#include "server/servedfolder.h"
#include "server/settings.h"

#include <memory>
#include <string>

namespace quorvin::testing {

inline ServerSettings settingsFor(const std::string& root) {
    ServerSettings settings;
    settings.rootDirectory = root;
    settings.servedFolder = std::make_shared<const fs::ServedFolder>(root);
    settings.mimeTable = newMimeTable();
    addMimeType(settings.mimeTable, "htm", "text/html");
    settings.serverName = "Quorvin";
    settings.serverVersion = "20.08.14";
    return settings;
}

} // namespace quorvin::testing
