#pragma once
// A picture file read in the format its name says (png, bmp, jpg ...). Qt's own guess asks every
// image format plugin installed whether it can read the file, which loads them all into the
// process: a few milliseconds of start-up for pictures that are all of one built-in format.

#include <QImage>
#include <QString>

namespace zr::ui {

// A null image when the file cannot be read in that format.
[[nodiscard]] QImage ReadPicture(const QString& path);

} // namespace zr::ui
