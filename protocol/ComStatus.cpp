#include "protocol/ComStatus.h"

const char* ComStatusText(ComStatus status) {
    switch (status) {
        case ComStatus::NoError:
            return "Kein Fehler.";
        case ComStatus::SetComNotCalled:
            return "SetCom wurde nicht aufgerufen.";
        case ComStatus::NotConnected:
            return "Verbindung nicht hergestellt.";
        case ComStatus::NoData:
            return "Keine Daten empfangen.";
        case ComStatus::LengthTooLarge:
            return "Datenlänge zu groß.";
        case ComStatus::BufferTooSmall:
            return "Datenpuffer zu klein.";
        case ComStatus::ChecksumWrong:
            return "Checksumme falsch.";
        case ComStatus::TransmissionError:
            return "Fehler bei der Übertragung.";
        case ComStatus::UnknownError:
            break;
    }
    // A byte outside the nine codes is as unknown as UnknownError itself.
    return "Unbekannter Fehler";
}
