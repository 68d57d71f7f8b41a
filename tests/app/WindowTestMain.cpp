#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "framework/qt/GermanQtTexts.h"

// Window tests need a Qt application; they run on the offscreen platform unless told otherwise. Qt's
// own texts are German, as the program makes them; settings would land in a folder of this run,
// where the tests look for them (Qt fixes the folder at its first use of settings).
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir configHome;
    if (!configHome.isValid()) {
        return EXIT_FAILURE;
    }
    qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    QApplication application(argc, argv);
    if (!InstallGermanQtTexts()) {
        std::fputs("Qt's German translations (qt6-translations-l10n) are not installed\n", stderr);
        return EXIT_FAILURE;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
