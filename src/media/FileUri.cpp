#include "FileUri.h"

namespace zr::media {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int hi = hexValue(text[i + 1]);
        const int lo = hexValue(text[i + 2]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        const char c = static_cast<char>(hi * 16 + lo);
        if (c == '\0')
            return std::nullopt;
        out.push_back(c);
        i += 2;
    }
    return out;
}

std::optional<std::string> pathFromFileUri(std::string_view uri) {
    if (!startsWithNoCase(uri, "file:"))
        return std::nullopt;
    std::string_view rest = uri.substr(5);
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos)
            return std::nullopt;
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && !startsWithNoCase(host, "localhost"))
            return std::nullopt;
        if (!host.empty() && host.size() != 9)
            return std::nullopt;
        rest.remove_prefix(slash);
    }
    if (rest.empty() || rest[0] != '/')
        return std::nullopt;
    // Query and fragment parts have no meaning for a local file; '?' and '#' in names arrive
    // percent-encoded.
    if (const std::size_t q = rest.find_first_of("?#"); q != std::string_view::npos)
        rest = rest.substr(0, q);
    return percentDecode(rest);
}

} // namespace zr::media
