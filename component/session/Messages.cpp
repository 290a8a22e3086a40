#include "component/session/Messages.h"

#include <cstdio>

namespace quor::component {

QString Printable(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F)
            out += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
        else if (u >= 0x80 && u < 0xA0)
            out += QStringLiteral("\\u{%1}").arg(unsigned(u), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

void PrintToStderr(const QString& text) {
    const QByteArray line = Printable(text).toUtf8();
    std::fprintf(stderr, "QuorCtrl: %s\n", line.constData());
}

} // namespace quor::component
