// Host-side controls of PC Card services: the simulated sockets plug in here, and the
// simulator reports a card's arrival and departure, on which the platform runs detection.
#pragma once

#include <string>
#include <vector>

#include "../cardserv.h"

namespace platform {

// A socket as card services reach it.
class CardSlot {
public:
    virtual ~CardSlot() = default;
    // False while the socket is empty.
    virtual bool ReadIdentity(CARD_IDENTITY& identity) = 0;
    virtual bool IoWindow(PUCHAR& registers, PUCHAR& control, bool& wideBus) = 0;
};

inline constexpr DWORD kCardSockets = 2;

// Plugs a socket in (null unplugs it). The slot must outlive its time here.
void SetCardSlot(DWORD socket, CardSlot* slot);

// One detection entry as it was tried.
struct DetectionStep {
    std::u16string subkey, dll, entry;
    enum class Outcome { NoLibrary, NoFunction, Declined, Claimed } outcome = Outcome::Declined;
};

struct DetectionResult {
    std::vector<DetectionStep> steps;  // in the order tried
    bool claimed = false;
    std::u16string driver;   // the library the claiming entry named
    bool attached = false;   // the driver took the card
    DWORD error = 0;         // why not, when it did not
    std::string Describe() const;  // one line for a person
};

// A card has arrived: the Detect subkeys are tried in increasing number order, and the driver
// the first claiming entry names is loaded and handed the card.
DetectionResult CardInserted(DWORD socket);
// The card has left (taken out or pulled): the claiming driver is told and unloaded.
void CardRemoved(DWORD socket);

}  // namespace platform
