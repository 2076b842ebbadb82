// The handheld's card: the emulated drive with its medium image, in PC Card socket 0. Inserting
// it runs the platform's card detection; the driver that claims it (QVCARD when the package is
// installed) brings up the drive and its disk.
#pragma once

#include <filesystem>
#include <string>

#include "card.h"
#include "sim/drive/emulated_drive.h"
#include "sim/socket/pc_card_socket.h"

namespace sim {

class DriveCard final : public Card {
public:
    // The medium image must exist. An insertion that finds the medium blank (its first block
    // all zeros, as a new image is) has the card driver format it; a medium holding anything
    // else is never formatted, so no one's data is lost to a volume that does not mount.
    explicit DriveCard(std::filesystem::path image, DriveVariant variant = DriveVariant::Packet);
    ~DriveCard() override;

    std::string Insert(std::string& note) override;
    void Remove() override;
    void Pull() override;

    // The drive's fault switch: the card leaves after this many further register accesses.
    std::string PullAfterAccesses(unsigned accesses) override;
    const std::filesystem::path& image() const { return image_; }
    // The drive itself, for tests that throw its fault switches.
    EmulatedDrive& drive() { return drive_; }

private:
    std::string FormatIfBlank(std::string& note);

    std::filesystem::path image_;
    EmulatedDrive drive_;
    PcCardSocket socket_;
};

}  // namespace sim
