// Dialog units to pixels, the way the platform's dialog manager converts a template.
#pragma once

#include <QRect>
#include <QSize>

class QFont;

namespace quor::console {

struct BaseUnits {
    int x = 0; // average character width of the dialog font
    int y = 0; // character height of the dialog font
};

// a * b / c rounded to the nearest integer, halves away from zero (the platform's MulDiv). c must not be 0.
int MulDiv(int a, int b, int c);

// Base units of `font`: ((width of "A".."Z" "a".."z") / 26 + 1) / 2 across, the font height down.
BaseUnits BaseUnitsOf(const QFont& font);

// Each of x, y, width and height converted on its own: x * bx / 4, y * by / 8.
QRect DluToPixels(const BaseUnits& units, int x, int y, int cx, int cy);
QSize DluToPixels(const BaseUnits& units, int cx, int cy);

} // namespace quor::console
