#include "framework/CWinApp.h"

#include <QApplication>
#include <QFileInfo>

int CWinApp::Run(int argc, char** argv) {
    QApplication application(argc, argv);
    // A message box without a caption shows the executable's name, whatever Qt would choose.
    QApplication::setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
    StartUp();
    return 0;
}

void CWinApp::SetRegistryKey(const char* key) {
    QCoreApplication::setOrganizationName(QString::fromUtf8(key));
}
