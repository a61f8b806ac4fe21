// renderPage and the error pages built on it.
#include "server/page.h"

#include "server/pagestyle.h"

namespace quorvin {

std::string renderPage(const ServerSettings& settings, std::string_view content,
                       std::string_view title) {
    std::string footer =
        fillTemplate(pagetemplates::footer, {settings.serverName, settings.serverVersion});
    return fillTemplate(pagetemplates::page, {title, pageStyle(), content, footer});
}

StaticResponse notFoundResponse(const ServerSettings& settings) {
    StaticResponse response;
    response.status = 404;
    response.body =
        renderPage(settings, "<p>The page you requested cannot be found.<p>", statusText(404));
    return response;
}

StaticResponse notImplementedResponse(const ServerSettings& settings) {
    StaticResponse response;
    response.status = 501;
    response.body = renderPage(
        settings,
        "<p>This server does not support the functionality required to fulfill the request.</p>",
        statusText(501));
    return response;
}

} // namespace quorvin
