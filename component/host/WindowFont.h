// The font of the component's own windows (the settings dialog, the large view, the view's menu): the family of
// the window that hosts the view, so the program reads in one typeface throughout, at the size the program uses
// for its windows. Qt passes a font on to child widgets only, never to windows and menus of their own.
#pragma once

#include <QApplication>
#include <QFont>
#include <QWidget>

namespace quor::component {

inline QFont WindowFont(const QWidget* host) {
    QFont font = QApplication::font();
    if (host)
        font.setFamily(host->font().family());
    return font;
}

} // namespace quor::component
