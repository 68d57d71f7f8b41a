#include "framework/CWinApp.h"

#include <QApplication>
#include <QFileInfo>

#include "framework/qt/GermanQtTexts.h"

int CWinApp::Run(int argc, char** argv) {
    QApplication application(argc, argv);
    // A message box without a caption shows the executable's name, whatever Qt would choose.
    QApplication::setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
    // Without Qt's German translations, Qt's own few texts stay English: no reason to stop.
    static_cast<void>(InstallGermanQtTexts());
    StartUp();
    return 0;
}

void CWinApp::SetRegistryKey(const char* key) {
    QCoreApplication::setOrganizationName(QString::fromUtf8(key));
}

void CWinApp::SetDesktopFileName(const char* name) {
    QGuiApplication::setDesktopFileName(QString::fromUtf8(name));
}
