// Response bytes: every response starts with "HTTP/1.1 " whatever the request named.
#include "http/responseformat.h"

namespace quorvin {

namespace {

constexpr std::string_view protocolWord = "HTTP/1.1 ";
constexpr std::string_view lineEnd = "\r\n";

void appendLengthLine(std::string& out, std::uint64_t length) {
    out.append("Content-Length: ");
    out.append(std::to_string(length));
    out.append(lineEnd);
}

// Room for the status line and a few headers, so that a usual head needs one allocation.
constexpr std::size_t usualHeadSize = 128;

void appendResponseHead(std::string& out, StatusCode code, std::uint64_t contentLength,
                        const HeaderTable& headers) {
    out.append(protocolWord);
    out.append(statusText(code));
    out.append(lineEnd);
    if (headers) {
        for (HeaderPair pair : *headers) {
            out.append(pair.name);
            out.append(": ");
            out.append(pair.value);
            out.append(lineEnd);
        }
    }
    if (!headers || !headers->hasHeader("Content-Length")) {
        appendLengthLine(out, contentLength);
    }
    out.append(lineEnd);
}

} // namespace

std::string formatResponseHead(StatusCode code, std::uint64_t contentLength,
                               const HeaderTable& headers) {
    std::string out;
    out.reserve(usualHeadSize);
    appendResponseHead(out, code, contentLength, headers);
    return out;
}

std::string formatResponse(StatusCode code, std::string_view content, const HeaderTable& headers) {
    std::string out;
    out.reserve(usualHeadSize + content.size());
    appendResponseHead(out, code, content.size(), headers);
    out.append(content);
    return out;
}

std::string formatStatusResponse(StatusCode code) {
    const std::string text = statusText(code);
    std::string out;
    out.append(protocolWord);
    out.append(text);
    out.append(lineEnd);
    appendLengthLine(out, text.size());
    out.append(lineEnd);
    out.append(text);
    return out;
}

std::string formatStatusLine(std::string_view statusText) {
    std::string out;
    out.append(protocolWord);
    out.append(statusText);
    out.append(lineEnd);
    out.append(lineEnd);
    return out;
}

} // namespace quorvin
