#include "app/CDIZUravavedVKX260App.h"

#include "app/CDIZUravavedVKX260Dlg.h"

bool CDIZUravavedVKX260App::StartUp() {
    SetRegistryKey("Vom lokalen Anwendungs-Assistenten generierte Anwendungen");
    SetDesktopFileName("de.diz.uravaved.VKX260");
    CDIZUravavedVKX260Dlg dialog;
    dialog.DoModal();
    return false;
}
