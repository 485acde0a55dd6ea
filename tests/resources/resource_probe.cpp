#include "resource_probe.h"

#include "ResourcePaths.h"

namespace zr::test {

const char* probeWindowIconPath() {
    return zr::resources::kWindowIcon;
}

} // namespace zr::test
