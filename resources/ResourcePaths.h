#pragma once
// Paths of the pictures that the zr_resources target compiles into the program (resources.qrc).
// Linking zr_resources is all a target needs: the pictures are registered before main() runs.

#include <array>

namespace zr::resources {

// Face of imgControl(index) on the player window, index 0..15. Each picture is exactly the
// element's size in pixels (twips / 15).
inline constexpr std::array<const char*, 16> kButtonFaces = {
    ":/buttons/previous.png",   // 0  "Previous"         34 x 12
    ":/buttons/play.png",       // 1  "Play"             34 x 12
    ":/buttons/pause.png",      // 2  "Pause"            34 x 12
    ":/buttons/stop.png",       // 3  "Stop"             34 x 12
    ":/buttons/next.png",       // 4  "Next"             34 x 12
    ":/buttons/open.png",       // 5  "Open"             34 x 12
    ":/buttons/slowplay.png",   // 6  "Slow Play"        17 x 12
    ":/buttons/fastplay.png",   // 7  "Fast Play"        17 x 12
    ":/buttons/mute.png",       // 8  "Mute"             34 x 12
    ":/buttons/random.png",     // 9  "Random Select"    34 x 12
    ":/buttons/volumeup.png",   // 10 "Increase Volume"  12 x 25
    ":/buttons/volumedown.png", // 11 "Decrease Volume"  12 x 25
    ":/buttons/endcap.png",     // 12 seek bar, left end 12 x 10
    ":/buttons/endcap.png",     // 13 seek bar, right end 12 x 10
    ":/buttons/clear.png",      // 14 "Clear Playlist"   34 x 12
    ":/buttons/normalplay.png", // 15 "Normal Play"      17 x 12
};

// Icon of the player window, 16 x 16 with a transparent outside.
inline constexpr const char* kWindowIcon = ":/icons/window.png";
// The same icon at every size installed for the desktop (16, 48, 128), smallest first; the
// larger ones are the pictures under data/icons.
inline constexpr std::array<const char*, 3> kWindowIconSizes = {
    kWindowIcon, ":/icons/window-48.png", ":/icons/window-128.png"};

struct TreeIcon {
    const char* key;
    const char* path;
};

// The browser tree's image list in its order, 16 x 16 each. The pictures stand on the image
// list's mask colour, which is to be made transparent when they are shown.
inline constexpr std::array<TreeIcon, 9> kTreeIcons = {{
    {"cldfolder", ":/tree/cldfolder.png"},
    {"opnfolder", ":/tree/opnfolder.png"},
    {"drvcd", ":/tree/drvcd.png"},
    {"drvremove", ":/tree/drvremove.png"},
    {"drvfixed", ":/tree/drvfixed.png"},
    {"drvremote", ":/tree/drvremote.png"},
    {"mycomputer", ":/tree/mycomputer.png"},
    {"drvunknown", ":/tree/drvunknown.png"},
    {"drvmemory", ":/tree/drvmemory.png"},
}};

// RGB(192, 192, 192) as 0xRRGGBB (QColor::fromRgb(kTreeMaskRgb)).
inline constexpr unsigned kTreeMaskRgb = 0xC0C0C0;

} // namespace zr::resources
