#include "drive_card.h"

#include <platform/pc_card.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <fstream>

#include "sim/card/card_controls.h"

namespace sim {
namespace {

constexpr DWORD kSocket = 0;
constexpr char16_t kVolumeLabel[] = u"TANDEL";

DriveSettings SettingsFor(DriveVariant variant) {
    DriveSettings settings;
    settings.variant = variant;
    return settings;
}

// The card driver's own control request on CRD0:; 0 or the error.
DWORD CardControl(DWORD code, const char16_t* input, DWORD inputBytes) {
    HANDLE card = CreateFile(u"CRD0:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (card == INVALID_HANDLE_VALUE) return GetLastError();
    const BOOL ok = DeviceIoControl(card, code, const_cast<char16_t*>(input), inputBytes, nullptr, 0, nullptr, nullptr);
    const DWORD error = ok ? 0 : GetLastError();
    CloseHandle(card);
    return error;
}

bool BlankMedium(const std::filesystem::path& image) {
    std::ifstream in(image, std::ios::binary);
    std::array<char, 512> block{};
    if (!in.read(block.data(), block.size())) return false;
    return std::all_of(block.begin(), block.end(), [](char c) { return c == 0; });
}

}  // namespace

DriveCard::DriveCard(std::filesystem::path image, DriveVariant variant)
    : image_(std::move(image)), drive_(SettingsFor(variant)) {
    drive_.InsertMedium(image_);
    platform::SetCardSlot(kSocket, &socket_);
}

DriveCard::~DriveCard() {
    Remove();
    platform::SetCardSlot(kSocket, nullptr);
}

std::string DriveCard::Insert(std::string& note) {
    // A card that left by its own pull switch was never reported gone: its driver goes first.
    platform::CardRemoved(kSocket);
    if (!socket_.Insert(drive_)) return "the socket already holds the card";
    const auto detection = platform::CardInserted(kSocket);
    note = "card in socket 0: " + detection.Describe();
    if (!detection.attached) return "";  // a card no driver can use: the program finds no drive
    return FormatIfBlank(note);
}

std::string DriveCard::FormatIfBlank(std::string& note) {
    if (CardControl(qvcard::kCardRescanCode, nullptr, 0) == 0 || !BlankMedium(image_)) return "";
    if (DWORD error = CardControl(qvcard::kCardFormatCode, kVolumeLabel, sizeof kVolumeLabel); error != 0) {
        return "cannot format the card's medium (error " + std::to_string(error) + ")";
    }
    note += "\n  blank medium formatted with the platform's formatter";
    return "";
}

void DriveCard::Remove() {
    platform::CardRemoved(kSocket);
    socket_.Remove();
}

void DriveCard::Pull() {
    socket_.PullCard();
    platform::CardRemoved(kSocket);
}

std::string DriveCard::PullAfterAccesses(unsigned accesses) {
    drive_.PullCardAfterAccesses(accesses);
    return "";
}

}  // namespace sim
