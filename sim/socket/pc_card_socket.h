// A PC Card socket in I/O mode with room for one drive card. It owns the socket record that the
// drive's libraries read (state, lock, bus width), maps the card's registers into an I/O window
// while the card is in, and wires a drive context to it.
#pragma once

#include <drive/drive_context.h>
#include <platform/pc_card.h>

#include <atomic>

#include "sim/drive/emulated_drive.h"

namespace sim {

// The drive's card information structure: its product-information strings and function.
inline constexpr char kCardMaker[] = "QUORVA";
inline constexpr char kCardProduct[] = "ZAPT! 40";

class PcCardSocket final : public platform::CardSlot {
public:
    static constexpr DWORD kStateEmpty = 0;

    explicit PcCardSocket(bool wideBus = true);
    ~PcCardSocket() override;
    PcCardSocket(const PcCardSocket&) = delete;
    PcCardSocket& operator=(const PcCardSocket&) = delete;

    // Powers the card's drive on and maps its window; the socket becomes usable. False when a
    // card is already in or no window can be mapped. The drive must outlive its stay here.
    bool Insert(EmulatedDrive& drive);
    // Orderly removal: waits until no request holds the socket lock, then as PullCard.
    void Remove();
    // The card leaves without warning, from any thread, even from inside a register access
    // (the drive's pull switch): the state leaves 3 first, then the window goes, so a wait in
    // progress ends with "device not found" and any later access faults.
    void PullCard();

    bool HasCard() const { return window_.load() != nullptr; }
    // The state the libraries see, for tests that make a socket unusable without pulling.
    void SetState(DWORD state);
    void SetWideBus(bool wide);

    SocketRecord& record() { return record_; }
    PUCHAR registerWindow() const { return window_.load(); }
    PUCHAR controlRegister() const;

    // Card services: the card's identity and its window, while a card is in.
    bool ReadIdentity(CARD_IDENTITY& identity) override;
    bool IoWindow(PUCHAR& registers, PUCHAR& control, bool& wideBus) override;

    // Fills what the card driver owns in a drive context for the card in this socket: the two
    // register addresses, the socket record and the device kind.
    void WireContext(DriveContext& context);

private:
    SocketRecord record_{};
    std::atomic<PUCHAR> window_{nullptr};
    std::atomic<EmulatedDrive*> drive_{nullptr};
};

// Counts a card-driver operation on a drive in progress (what Command 252 waits for).
class BusyScope {
public:
    explicit BusyScope(DriveContext& context);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    DriveContext& context_;
};

}  // namespace sim
