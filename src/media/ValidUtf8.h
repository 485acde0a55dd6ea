#pragma once
// File names are bytes; what the sound server shows (a stream's name) must be valid UTF-8.

#include <string>
#include <string_view>

namespace zr::media {

// The bytes as valid UTF-8: valid sequences (shortest form, no surrogates, at most U+10FFFF)
// are kept, every other byte becomes U+FFFD, as the player's windows show such a name.
[[nodiscard]] std::string validUtf8(std::string_view bytes);

} // namespace zr::media
