#include "app/CDIZUravavedVKX260App.h"

#include <QTimer>

#include "app/CDIZUravavedVKX260Dlg.h"

bool CDIZUravavedVKX260App::StartUp() {
    SetRegistryKey("Vom lokalen Anwendungs-Assistenten generierte Anwendungen");
    SetDesktopFileName("de.diz.uravaved.VKX260");
    CDIZUravavedVKX260Dlg dialog;
    // Runs as soon as the modal loop has shown the window.
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.OfferUnsavedJournals(); });
    dialog.DoModal();
    return false;
}
