// The program's texts are written in Chinese; an English catalogue of each part is compiled in. Which one shows
// follows the user's language: English where the user asks for it, Chinese otherwise (the C and POSIX locales
// included).
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

namespace quor::i18n {

// The parts of the program with a catalogue of their own: the console, the component's window side (view,
// dialogs, debug overlay) and its camera side (cameras, photo files, preferences).
inline const QStringList kCatalogues{QStringLiteral("console"), QStringLiteral("host"), QStringLiteral("camera")};

// True when the first of the locale's user-interface languages that is English or Chinese is English.
bool WantsEnglish(const QLocale& locale);

// Installs the English catalogues when `locale` asks for English, and Qt's own Chinese texts (standard buttons,
// file dialogs) where they are installed otherwise. Returns "en" or "zh".
QString InstallTranslations(const QLocale& locale = QLocale::system());

// Installs one English catalogue, whatever the locale (tests). False when there is no such catalogue.
bool InstallEnglishCatalogue(const QString& name);

// Removes every translator InstallTranslations or InstallEnglishCatalogue installed.
void RemoveTranslations();

} // namespace quor::i18n
