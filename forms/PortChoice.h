#pragma once

#include <QString>
#include <cstdint>
#include <vector>

class QComboBox;

namespace corvanetov {

// What both Port Setting dialogs share: the port and baud lists, the entry
// selected on opening, the number the user chose and the host's port line.
class PortChoice {
public:
    // "COM1" ... "COM99", each followed by its device where the port table
    // knows one (a by-id link by its name, which tells handsets apart, and
    // the device it leads to) and by the handset's name on every listed
    // handset's port (the table's own path as tool tip), then the network
    // link where one is set;
    // and the baud list (never read: every connection runs at 115200).
    // Selects the selected port's entry, COM1 for none, and no entry for a
    // port the list cannot show.
    static void Fill(QComboBox* portList, QComboBox* baudList);
    // The chosen port number; 0 when no entry is selected.
    static uint8_t Chosen(const QComboBox* portList);
    // Whether the port table names what the chosen entry opens.
    static bool ChosenHasTarget(const QComboBox* portList);
    // Forgets the chosen entry's device or network link in the port table
    // and shows the entry without it; false when the store cannot be written.
    static bool ForgetChosen(QComboBox* portList);
    // Tells the host the port line "      Com%d".
    static void AnnouncePort(uint8_t port);
    // One entry of the port list; handset: whether a handset is listed on it.
    static QString EntryText(uint8_t port, bool handset);
    // Whether what the port opens is there: its device, or the network link
    // where one is set.
    static bool Present(uint8_t port);
};

} // namespace corvanetov
