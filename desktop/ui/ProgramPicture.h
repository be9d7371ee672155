// The program's picture: a handheld device showing a database. Drawn in
// code, so the program needs no image files; data/quorvane.svg is the same
// picture for desktop environments.
//
// Threads: window thread only (it paints pixmaps).
#pragma once

#include <QIcon>
#include <QPixmap>

namespace ui {

// The picture in a square of `size` pixels.
QPixmap ProgramPicture(int size);

// The picture at the usual icon sizes, for window icons.
QIcon ProgramIcon();

} // namespace ui
