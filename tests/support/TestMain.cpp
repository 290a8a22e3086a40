// Test entry point: a real QApplication on the offscreen platform (unless a display platform is asked for).
#include <QApplication>
#include <QByteArray>

#include "res/i18n/Translations.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // The component's messages are checked in English; the console keeps its captions as written.
    quor::i18n::InstallEnglishCatalogue(QStringLiteral("host"));
    quor::i18n::InstallEnglishCatalogue(QStringLiteral("camera"));
    return RUN_ALL_TESTS();
}
