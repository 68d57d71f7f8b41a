#include "framework/CWinApp.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int CWinApp::Run(int argc, char** argv) {
    QApplication application(argc, argv);
    // A message box without a caption shows the executable's name, whatever Qt would choose.
    QApplication::setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
    // Standard buttons (Yes, No, Cancel) and the file dialog speak the system's language.
    QTranslator translator;
    if (translator.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&translator);
    }
    StartUp();
    return 0;
}

void CWinApp::SetRegistryKey(const char* key) {
    QCoreApplication::setOrganizationName(QString::fromUtf8(key));
}

void CWinApp::SetDesktopFileName(const char* name) {
    QGuiApplication::setDesktopFileName(QString::fromUtf8(name));
}
