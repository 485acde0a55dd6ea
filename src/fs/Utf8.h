#pragma once
// File names are bytes and need not be valid UTF-8; both the windows and the sound server's
// stream name need to know which of those bytes are.

#include <cstddef>
#include <string>
#include <string_view>

namespace zr::fs {

// Length of the valid UTF-8 sequence at bytes[i] (shortest form, no surrogates, at most
// U+10FFFF), or 0 when the byte there does not start one.
[[nodiscard]] std::size_t utf8SequenceAt(std::string_view bytes, std::size_t i);

// The bytes as valid UTF-8: valid sequences are kept, every other byte becomes U+FFFD, as the
// player's windows show such a name.
[[nodiscard]] std::string validUtf8(std::string_view bytes);

} // namespace zr::fs
