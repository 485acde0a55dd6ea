#pragma once
// Opening a file or folder whatever the length of its path: the shared walk (fs/AnyLengthOpen.h)
// under the platform layer's names.

#include "AnyLengthOpen.h"

namespace mWinAPI {

using zr::fs::OpenAtAnyLength;
using zr::fs::UniqueFd;

} // namespace mWinAPI
