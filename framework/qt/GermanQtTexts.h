#pragma once

// Makes the texts that Qt itself supplies (standard buttons such as Ja, Nein, Abbrechen; the file
// dialog's labels and questions) German, the program's language, whatever the system's locale.
// False when Qt's German translations are not installed: Qt's texts then stay English.
bool InstallGermanQtTexts();
