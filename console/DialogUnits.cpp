#include "console/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include <cstdint>

namespace quor::console {

int MulDiv(int a, int b, int c) {
    const std::int64_t num = static_cast<std::int64_t>(a) * b;
    const std::int64_t den = c;
    const std::int64_t half = (den < 0 ? -den : den) / 2;
    const bool negative = (num < 0) != (den < 0);
    const std::int64_t mag = ((num < 0 ? -num : num) + half) / (den < 0 ? -den : den);
    return static_cast<int>(negative ? -mag : mag);
}

BaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(width / 26 + 1) / 2, metrics.height()};
}

QRect DluToPixels(const BaseUnits& u, int x, int y, int cx, int cy) {
    return QRect(MulDiv(x, u.x, 4), MulDiv(y, u.y, 8), MulDiv(cx, u.x, 4), MulDiv(cy, u.y, 8));
}

QSize DluToPixels(const BaseUnits& u, int cx, int cy) { return QSize(MulDiv(cx, u.x, 4), MulDiv(cy, u.y, 8)); }

} // namespace quor::console
