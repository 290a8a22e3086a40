#include "res/i18n/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>
#include <vector>

namespace quor::i18n {
namespace {

std::vector<std::unique_ptr<QTranslator>>& Installed() {
    static std::vector<std::unique_ptr<QTranslator>> installed;
    return installed;
}

bool Install(const QString& file, const QString& directory) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(file, directory) || !QCoreApplication::installTranslator(translator.get()))
        return false;
    Installed().push_back(std::move(translator));
    return true;
}

} // namespace

bool WantsEnglish(const QLocale& locale) {
    for (const QString& language : locale.uiLanguages()) {
        if (language.startsWith(QLatin1String("en")))
            return true;
        if (language.startsWith(QLatin1String("zh")))
            return false;
    }
    return false;
}

bool InstallEnglishCatalogue(const QString& name) {
    return Install(name + QStringLiteral("_en"), QStringLiteral(":/i18n"));
}

QString InstallTranslations(const QLocale& locale) {
    if (WantsEnglish(locale)) {
        for (const QString& name : kCatalogues)
            InstallEnglishCatalogue(name);
        return QStringLiteral("en");
    }
    // Qt's own widgets say "OK" and "Cancel" unless its Chinese catalogue (qt6-translations-l10n) is there.
    Install(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return QStringLiteral("zh");
}

void RemoveTranslations() {
    for (const auto& translator : Installed())
        QCoreApplication::removeTranslator(translator.get());
    Installed().clear();
}

} // namespace quor::i18n
