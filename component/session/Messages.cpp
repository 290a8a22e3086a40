#include "component/session/Messages.h"

#include <QCoreApplication>

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

QString PhotoLostText(CardCopy copy, const QString& reason) {
    switch (copy) {
    case CardCopy::Kept:
        return QCoreApplication::translate("quor::session", "这次拍摄的照片已丢失；存储卡上仍有这张照片。%1").arg(reason);
    case CardCopy::None:
        return QCoreApplication::translate("quor::session", "这次拍摄的照片已丢失；存储卡上没有副本。%1").arg(reason);
    case CardCopy::Unknown: break;
    }
    return QCoreApplication::translate("quor::session", "这次拍摄的照片已丢失；无法确定存储卡上是否有副本。%1")
        .arg(reason);
}

} // namespace quor::component
