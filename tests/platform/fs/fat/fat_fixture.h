// A FAT volume for a test: an image made by mkfs.fat in a temporary folder, served by the test
// DSK device (DSK1:) and mounted as \Storage, on the virtual clock. Snapshots mount a copy of
// the medium's bytes as they stand (\Copy on DSK2:), which is what a crash right then would
// leave; fsck.fat checks images.
#pragma once

#include <support/memory_disk_device.h>
#include <support/temp_folder.h>

#include <platform/clock.h>
#include <platform/devices.h>
#include <platform/fat_volume.h>
#include <platform/file_system.h>
#include <platform/text.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace fat_tests {

using testing_support::MemoryDiskDevice;

constexpr DWORD kSentinel = 0xDEADBEEF;
// The smallest FAT16 volume mkfs.fat makes (512-byte clusters): quick to copy and to check.
constexpr const char* kSmallFat16 = "-F 16 -s 1";
constexpr uint32_t kSmallFat16Kib = 4096;

inline bool HaveTool(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

inline void SaveBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> LoadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Whole-file helpers over the CE file API.
inline DWORD WriteWhole(const std::u16string& path, const std::string& bytes) {
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD done = 0;
    const BOOL wrote = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    const DWORD error = wrote ? 0 : GetLastError();
    CloseHandle(file);
    return error;
}

inline std::optional<std::string> ReadWhole(const std::u16string& path) {
    HANDLE file = CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD done = 0;
    const BOOL read = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(file);
    if (!read || done != bytes.size()) return std::nullopt;
    return bytes;
}

inline std::string Pattern(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + seed * 7 + i / 251) & 0xFF);
    return bytes;
}

inline std::vector<WIN32_FIND_DATA> List(const std::u16string& folder) {
    std::vector<WIN32_FIND_DATA> entries;
    WIN32_FIND_DATA data;
    HANDLE find = FindFirstFile((folder + u"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return entries;
    do entries.push_back(data);
    while (FindNextFile(find, &data));
    FindClose(find);
    return entries;
}

// Names, attributes, sizes, write times and contents of a whole tree, for comparing two.
inline std::string Tree(const std::u16string& folder) {
    std::string text;
    for (const auto& entry : List(folder)) {
        const std::u16string path = folder + u"\\" + entry.cFileName;
        text += std::string(entry.cFileName, entry.cFileName + std::char_traits<char16_t>::length(entry.cFileName));
        text += " " + std::to_string(entry.dwFileAttributes) + " " + std::to_string(entry.nFileSizeLow) +
                " " + std::to_string(entry.ftLastWriteTime.dwLowDateTime) + "\n";
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            text += Tree(path);
        } else {
            text += ReadWhole(path).value_or("<unreadable>") + "\n";
        }
    }
    return text;
}

class FatVolumeTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::UseVirtualClock(platform::MakeSystemTime(2024, 5, 17, 10, 30, 1, 250), 0, 120);
        if (!HaveTool("mkfs.fat")) GTEST_SKIP() << "mkfs.fat (dosfstools) is not installed";
        image_ = temp_.Path() / "disk.img";
    }
    void TearDown() override {
        (void)platform::UnmountFatVolume(u"Copy");
        (void)platform::UnmountFatVolume(u"Storage");
        platform::ResetFileSystem();
        platform::ResetDevices();
    }

    // mkfs.fat over a fresh image of kib KiB; false when the tool refused.
    bool MakeImage(const std::filesystem::path& path, const std::string& options, uint32_t kib) {
        std::filesystem::remove(path);
        const std::string command = "mkfs.fat -C " + options + " '" + path.string() + "' " +
                                    std::to_string(kib) + " >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }

    // Formats the image and mounts it as \Storage.
    void Format(const std::string& options, uint32_t kib, DWORD sectorBytes = 512) {
        ASSERT_TRUE(MakeImage(image_, options, kib)) << options;
        MountImage(sectorBytes);
    }

    void MountImage(DWORD sectorBytes = 512) {
        disk_ = MemoryDiskDevice::OverImage(image_, sectorBytes);
        ASSERT_TRUE(disk_);
        ASSERT_NE(MemoryDiskDevice::Register(1, disk_), nullptr);
        ASSERT_EQ(platform::MountFatVolume(u"Storage", u"DSK1:"), 0u);
    }

    // The medium's bytes as they stand now, on a second device mounted as \Copy.
    void MountSnapshot() {
        (void)platform::UnmountFatVolume(u"Copy");
        auto copy = std::make_shared<MemoryDiskDevice>(disk_->TotalSectors(), disk_->BytesPerSector());
        const auto bytes = disk_->Bytes();
        copy->Poke(0, bytes.data(), bytes.size());
        if (!snapshotRegistered_) {
            ASSERT_NE(MemoryDiskDevice::Register(2, copy), nullptr);
            snapshotRegistered_ = true;
            snapshot_ = copy;
        } else {
            snapshot_->Poke(0, bytes.data(), bytes.size());
        }
        ASSERT_EQ(platform::MountFatVolume(u"Copy", u"DSK2:"), 0u);
    }

    // fsck.fat -n over the given bytes (the image itself when empty): true when it finds nothing.
    bool FsckPasses(const std::vector<uint8_t>& bytes = {}, std::string* report = nullptr) {
        if (!HaveTool("fsck.fat")) return true;
        std::filesystem::path path = image_;
        if (!bytes.empty()) {
            path = temp_.Path() / "check.img";
            SaveBytes(path, bytes);
        }
        const std::filesystem::path out = temp_.Path() / "fsck.txt";
        const std::string command = "fsck.fat -n '" + path.string() + "' >'" + out.string() + "' 2>&1";
        const bool passed = std::system(command.c_str()) == 0;
        std::ifstream in(out);
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (report != nullptr) *report = text;
        if (!passed) ADD_FAILURE() << text;
        return passed;
    }

    testing_support::TempFolder temp_;
    std::filesystem::path image_;
    std::shared_ptr<MemoryDiskDevice> disk_;
    std::shared_ptr<MemoryDiskDevice> snapshot_;
    bool snapshotRegistered_ = false;
};

}  // namespace fat_tests
