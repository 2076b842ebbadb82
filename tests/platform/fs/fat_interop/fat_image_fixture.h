// A FAT image file mounted as \Card through the test DSK device, a virtual clock at UTC (mtools
// runs with TZ=UTC, so both sides read FAT's local times alike), and the CE-side helpers the
// interoperability tests share: walking a tree, reading and writing whole files.
#pragma once

#include <cefiles.h>
#include <platform/clock.h>
#include <platform/devices.h>
#include <platform/fat_volume.h>
#include <platform/file_system.h>
#include <platform/text.h>
#include <winbase.h>
#include <winerror.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "pc_tools.h"
#include "support/memory_disk_device.h"
#include "support/temp_folder.h"

namespace fat_interop {

inline constexpr char16_t kVolume[] = u"Card";

// What a listing reports of one entry.
struct Listed {
    DWORD attributes = 0;
    uint64_t size = 0;
    uint64_t writeTicks = 0;
};

inline std::u16string CePath(const std::string& relative) {
    std::u16string path = u"\\Card";
    if (!relative.empty()) path += u"\\" + platform::Utf16(relative);
    for (char16_t& c : path) c = c == u'/' ? u'\\' : c;
    return path;
}

// Every entry under the CE folder, keyed by its path relative to the volume ('/'-separated).
inline void ListTree(const std::u16string& folder, const std::string& prefix,
                     std::map<std::string, Listed>& out) {
    WIN32_FIND_DATA data{};
    HANDLE listing = FindFirstFile((folder + u"\\*").c_str(), &data);
    if (listing == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = platform::ToUtf8(data.cFileName);
        const std::string path = prefix.empty() ? name : prefix + "/" + name;
        out[path] = {data.dwFileAttributes, (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                     platform::ToTicks(data.ftLastWriteTime)};
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListTree(folder + u"\\" + data.cFileName, path, out);
    } while (FindNextFile(listing, &data));
    FindClose(listing);
}

inline std::map<std::string, Listed> ListVolume() {
    std::map<std::string, Listed> out;
    ListTree(u"\\Card", "", out);
    return out;
}

// The whole file through CreateFile/ReadFile, or nothing when it cannot be opened or read.
inline std::optional<std::vector<uint8_t>> ReadCeFile(const std::u16string& path) {
    HANDLE file = CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr)) && got > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    CloseHandle(file);
    if (!ok) return std::nullopt;
    return bytes;
}

// CREATE_ALWAYS and the bytes in one write; 0 or the error of the step that failed.
inline DWORD WriteCeFile(const std::u16string& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD put = 0;
    const BOOL wrote = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    const DWORD writeError = wrote ? 0 : GetLastError();
    const BOOL closed = CloseHandle(file);
    if (!wrote) return writeError;
    return closed ? 0 : GetLastError();
}

// Deterministic contents: a file's bytes depend on its name and size only.
inline std::vector<uint8_t> Contents(const std::string& name, size_t size) {
    std::vector<uint8_t> bytes(size);
    uint32_t state = 2166136261u;
    for (char c : name) state = (state ^ static_cast<uint8_t>(c)) * 16777619u;
    for (uint8_t& b : bytes) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        b = static_cast<uint8_t>(state);
    }
    return bytes;
}

// A copy of the image whose first FAT is its second, so fsck.fat judges the second FAT too.
inline std::filesystem::path WithSecondFatFirst(const std::filesystem::path& image) {
    std::vector<uint8_t> bytes = ReadHostFile(image);
    const uint32_t bps = bytes[11] | (bytes[12] << 8);
    const uint32_t reserved = bytes[14] | (bytes[15] << 8);
    uint32_t fatSectors = bytes[22] | (bytes[23] << 8);
    if (fatSectors == 0) fatSectors = bytes[36] | (bytes[37] << 8) | (bytes[38] << 16) | (uint32_t(bytes[39]) << 24);
    const size_t first = size_t{reserved} * bps, length = size_t{fatSectors} * bps;
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(first + length), length,
                bytes.begin() + static_cast<std::ptrdiff_t>(first));
    std::filesystem::path copy = image;
    copy += ".second-fat";
    WriteHostFile(copy, bytes);
    return copy;
}

// fsck.fat -n accepts the volume: exit 0, or, with allowCutShort (a change the disk failed
// midway), exit 1 when its only complaints are clusters no file owns and the two FATs
// differing, as a cut between the writes of the two copies leaves them; then the second FAT
// must pass on its own as well.
inline bool OnlyCutShortComplaints(const std::string& output) {
    static const char* const kHarmless[] = {"fsck.fat ", "Reclaimed ", "Free cluster summary", "Auto-correcting",
                                            "FATs differ but appear to be intact", "Using first FAT",
                                            "Leaving filesystem unchanged", " files, "};
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        bool harmless = line.empty();
        for (const char* text : kHarmless) harmless = harmless || line.find(text) != std::string::npos;
        if (!harmless) return false;
    }
    return true;
}

inline ::testing::AssertionResult FsckAccepts(const std::filesystem::path& image, bool allowCutShort = false) {
    const ToolRun run = CheckVolume(image);
    if (run.exitCode == 0) return ::testing::AssertionSuccess();
    if (!allowCutShort || run.exitCode != 1 || !OnlyCutShortComplaints(run.output))
        return ::testing::AssertionFailure() << "fsck.fat -n exit " << run.exitCode << ":\n" << run.output;
    if (run.output.find("FATs differ") == std::string::npos) return ::testing::AssertionSuccess();
    const ToolRun second = CheckVolume(WithSecondFatFirst(image));
    if (second.exitCode == 0 || (second.exitCode == 1 && OnlyCutShortComplaints(second.output)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the second FAT: fsck.fat -n exit " << second.exitCode << ":\n"
                                         << second.output;
}

class FatImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::UseVirtualClock(platform::MakeSystemTime(2026, 5, 4, 10, 20, 30));
    }
    void TearDown() override {
        Unmount();
        platform::ResetFileSystem();
        platform::UseRealClock();
    }

    // Mounts the image file as \Card; 0 or the mount's error.
    DWORD Mount(const std::filesystem::path& image) {
        disk_ = testing_support::MemoryDiskDevice::OverImage(image);
        if (!disk_ || testing_support::MemoryDiskDevice::Register(1, disk_) == nullptr) return ERROR_GEN_FAILURE;
        return platform::MountFatVolume(kVolume, u"DSK1:");
    }
    void Unmount() {
        platform::UnmountFatVolume(kVolume);
        platform::ResetDevices();
        disk_.reset();
    }

    std::filesystem::path Image(const char* name) const { return temp_.Path() / name; }

    testing_support::TempFolder temp_;
    std::shared_ptr<testing_support::MemoryDiskDevice> disk_;
};

}  // namespace fat_interop
