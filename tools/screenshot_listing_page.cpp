// Writes the listing page that the server would send for one URL path of a served folder.
// Usage: screenshot_listing_page FOLDER URLPATH > page.html
#include "server/listing.h"
#include "server/mimetable.h"
#include "server/pathrules.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER URLPATH\n", argv[0]);
        return 2;
    }
    try {
        quorvin::ServerSettings settings;
        settings.rootDirectory = argv[1];
        settings.mimeTable = quorvin::newMimeTable();
        quorvin::addMimeType(settings.mimeTable, "htm", "text/html");
        settings.listenPort = 4321;
        settings.listenAddress = "127.0.0.1";
        settings.serverName = "Quorvin";
        settings.serverVersion = "20.08.14";
        const std::string dir = quorvin::mapRequestPath(settings.rootDirectory, argv[2]);
        const quorvin::StaticResponse response = quorvin::listingResponse(settings, dir);
        std::fwrite(response.body.data(), 1, response.body.size(), stdout);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
