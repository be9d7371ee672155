// The program's picture: a handheld device showing a database. Drawn in
// code, so the program needs no image files; data/quorvane.svg is the same
// picture for desktop environments.
//
// Threads: window thread only (it paints pixmaps).
#pragma once

#include <QIcon>
#include <QPixmap>

class QLabel;

namespace ui {

// The picture in a square of `size` pixels.
QPixmap ProgramPicture(int size);

// The picture at the usual icon sizes, for window icons.
QIcon ProgramIcon();

// A label "programPicture" showing the picture at `size` pixels, at the top
// of its place.
QLabel* ProgramPictureLabel(int size);

// A label "programName" with "Quorvane" in bold, `scale` times the usual
// font size.
QLabel* ProgramNameLabel(double scale);

} // namespace ui
