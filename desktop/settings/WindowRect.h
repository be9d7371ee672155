// Window rectangles kept as settings: the text "left,top,right,bottom" under
// the base key, in the name of the window.
#pragma once

#include <QRect>
#include <QString>

namespace settings {

// A window rectangle as the settings keep it: right and bottom lie just
// outside the window (right - left is the width).
struct WindowRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

QRect ToQRect(const WindowRect& r);
WindowRect FromQRect(const QRect& r);

// "%d,%d,%d,%d" of the rectangle.
QString WindowRectText(const WindowRect& r);

// Parses a stored rectangle text. Fields are runs of decimal digits separated
// by commas; fields not reached stay 0 (so "" gives the empty rectangle). Any
// other character (a minus sign too), a fourth comma, or a field beyond what
// an int holds makes the parse fail, leaving *r untouched.
bool ParseWindowRect(const QString& text, WindowRect* r);

// Writes the rectangle's text under the base key; true when stored.
bool SaveWindowRect(const QString& name, const WindowRect& r);

// Reads and parses the rectangle stored under `name`; true when *r was set.
// A missing value or a text that does not parse leaves *r untouched.
bool LoadWindowRect(const QString& name, WindowRect* r);

} // namespace settings
