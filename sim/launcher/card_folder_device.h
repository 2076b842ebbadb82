// A stand-in card for runs without the drive (the launcher's --folder-card): CRD<n>: answers
// control code 250 with the 272-byte drive record naming the folder under which the drive's
// disk is reached, and a host folder is mounted there as that disk.
#pragma once

#include <filesystem>
#include <string>

#include "../../platform/include/windef.h"
#include "card.h"

namespace sim {

inline constexpr DWORD kDriveInfoCode = 250;
inline constexpr DWORD kDriveInfoBytes = 272;
inline constexpr DWORD kDriveKindOffset = 12;
inline constexpr DWORD kFolderNameOffset = 16;
inline constexpr DWORD kDriveKindRemovableDisk = 1;

class CardFolder final : public Card {
public:
    // Offers CRD<index>: naming `folderName`, and mounts `hostFolder` at "\" + folderName.
    CardFolder(DWORD index, std::u16string folderName, std::filesystem::path hostFolder);
    ~CardFolder() override;
    CardFolder(const CardFolder&) = delete;
    CardFolder& operator=(const CardFolder&) = delete;

    bool Inserted() const { return device_ != nullptr; }
    // "" or why the card could not be offered.
    std::string Insert();
    std::string Insert(std::string& note) override;
    void Remove() override;
    void Pull() override { Remove(); }

private:
    DWORD index_;
    std::u16string folderName_;
    std::filesystem::path hostFolder_;
    HANDLE device_ = nullptr;
};

}  // namespace sim
