// The page frame of every HTML page the service sends, and the two error pages.
#pragma once

#include "server/settings.h"

#include <string>
#include <string_view>

namespace quorvin {

// The whole page: the frame filled with the title (twice), the stylesheet, the content and the
// footer with the server's name and version. Values are inserted as given.
std::string renderPage(const ServerSettings& settings, std::string_view content,
                       std::string_view title);

// 404 with the "404 Not Found" page and no headers.
StaticResponse notFoundResponse(const ServerSettings& settings);

// 501 with the "501 Not Implemented" page and no headers.
StaticResponse notImplementedResponse(const ServerSettings& settings);

// The templates the pages are assembled from.
namespace pagetemplates {

inline constexpr std::string_view page = "<!DOCTYPE html>\n"
                                         "<html>\n"
                                         "  <head>\n"
                                         "    <title>$1</title>\n"
                                         "    <style type=\"text/css\">$2</style>\n"
                                         "    <meta charset=\"UTF-8\">\n"
                                         "  </head>\n"
                                         "  <body>\n"
                                         "    <h1>$1</h1>\n"
                                         "    $3\n"
                                         "    $4\n"
                                         "  </body>\n"
                                         "</html>\n"
                                         "  ";
inline constexpr std::string_view footer = "<div id=\"footer\">$1 v$2</div>";
inline constexpr std::string_view list = "<ul>\n  $1\n</ul>\n";
inline constexpr std::string_view backItem =
    "<li class=\"i-back entypo\"><a href=\"$1\">..</a></li>";
inline constexpr std::string_view folderItem =
    "<li class=\"i-folder entypo\"><a href=\"$1\">$2</a></li>";
inline constexpr std::string_view fileItem =
    "<li class=\"i-file entypo\"><a href=\"$1\">$2</a></li>";

} // namespace pagetemplates

} // namespace quorvin
