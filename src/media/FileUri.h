#pragma once
// Turns the file word of an open command into a file system path. The platform layer's short
// path is a percent-encoded file:// URI, so a file name can never add words to a command.

#include <optional>
#include <string>
#include <string_view>

namespace zr::media {

// "file:///a/b%20c.mp3", "file://localhost/a/b" or "file:/a/b" -> "/a/b c.mp3". Empty result
// for another host, a relative path, a broken %-escape or an encoded NUL.
[[nodiscard]] std::optional<std::string> pathFromFileUri(std::string_view uri);

// Undoes %XX escapes; empty result on a malformed escape or %00.
[[nodiscard]] std::optional<std::string> percentDecode(std::string_view text);

} // namespace zr::media
