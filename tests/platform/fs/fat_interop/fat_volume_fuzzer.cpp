// libFuzzer target: a damaged FAT volume. The input patches a small volume that was formatted
// and filled here (or, with the first byte odd, replaces its first sectors outright); the volume
// is mounted and listed, every file read, and files and folders written, copied and deleted on
// it. Whatever the damage: no crash, no hang, no sanitizer finding.
#include <cefiles.h>
#include <platform/clock.h>
#include <platform/devices.h>
#include <platform/fat_volume.h>
#include <platform/file_system.h>
#include <winbase.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/memory_disk_device.h"

namespace {

using testing_support::MemoryDiskDevice;

constexpr DWORD kSectors = 2880;  // a 1.44 MB diskette: FAT12, tables in the first 17 KB
constexpr size_t kPatchWindow = 64 * 1024;
constexpr int kMaxEntries = 512;

bool WriteFileBytes(const std::u16string& path, size_t size) {
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::vector<uint8_t> bytes(size, 0xA5);
    DWORD put = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    return CloseHandle(file);
}

// The starting volume: folders nested three deep, long and short names, files of 0 to 9 KB.
std::vector<uint8_t> MakeBaseImage() {
    auto disk = std::make_shared<MemoryDiskDevice>(kSectors);
    MemoryDiskDevice::Register(1, disk);
    if (platform::FormatFatVolume(u"DSK1:", u"FUZZ") != 0 || platform::MountFatVolume(u"Card", u"DSK1:") != 0)
        return {};
    CreateDirectory(u"\\Card\\A folder with a long name", nullptr);
    CreateDirectory(u"\\Card\\A folder with a long name\\SUB", nullptr);
    CreateDirectory(u"\\Card\\A folder with a long name\\SUB\\Third level", nullptr);
    for (int i = 0; i < 12; ++i) {
        const std::u16string name = u"File number " + std::u16string(1, u'a' + i) + u".txt";
        WriteFileBytes(u"\\Card\\" + name, i * 800);
        WriteFileBytes(u"\\Card\\A folder with a long name\\SUB\\" + name, 100 * i);
    }
    WriteFileBytes(u"\\Card\\SHORT.TXT", 5);
    platform::UnmountFatVolume(u"Card");
    platform::ResetDevices();
    return disk->Bytes();
}

void Damage(std::vector<uint8_t>& image, const uint8_t* data, size_t size) {
    if (size == 0) return;
    if (data[0] & 1) {  // raw: the input is the volume's first bytes
        std::memcpy(image.data(), data + 1, std::min(size - 1, image.size()));
        return;
    }
    // patches: (offset: 2 bytes in 4-byte units of the window, length: 1 byte, bytes)
    for (size_t at = 1; at + 3 <= size;) {
        const size_t offset = ((data[at] | (data[at + 1] << 8)) * 4u) % kPatchWindow;
        const size_t length = std::min<size_t>(data[at + 2] % 16, size - at - 3);
        std::memcpy(image.data() + offset, data + at + 3, std::min(length, kPatchWindow - offset));
        at += 3 + length;
    }
}

// Lists the tree, reading each file whole, within bounds on entries and depth.
void Walk(const std::u16string& folder, int depth, int& entries) {
    WIN32_FIND_DATA data{};
    HANDLE listing = FindFirstFile((folder + u"\\*").c_str(), &data);
    if (listing == INVALID_HANDLE_VALUE) return;
    do {
        const std::u16string path = folder + u"\\" + data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth < 6) Walk(path, depth + 1, entries);
            continue;
        }
        HANDLE file = CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        uint8_t chunk[16384];
        DWORD got = 0;
        for (int reads = 0; reads < 64 && ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0; ++reads) {
        }
        CloseHandle(file);
    } while (++entries < kMaxEntries && FindNextFile(listing, &data));
    FindClose(listing);
}

// Changes on the damaged volume; each may fail, none may crash.
void Change() {
    WriteFileBytes(u"\\Card\\new file with a long name.bin", 7000);
    WriteFileBytes(u"\\Card\\File number c.txt", 3000);
    CopyFile(u"\\Card\\File number d.txt", u"\\Card\\A folder with a long name\\copy.txt", FALSE);
    CreateDirectory(u"\\Card\\A folder with a long name\\SUB\\New folder", nullptr);
    DeleteFile(u"\\Card\\File number b.txt");
    DeleteFile(u"\\Card\\A folder with a long name\\SUB\\File number e.txt");
    RemoveDirectory(u"\\Card\\A folder with a long name\\SUB\\Third level");
    HANDLE file = CreateFile(u"\\Card\\SHORT.TXT", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        SetFilePointer(file, 40000, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        SetFilePointer(file, 100, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> base = [] {
        platform::UseVirtualClock(platform::MakeSystemTime(2026, 5, 4, 10, 20, 30));
        return MakeBaseImage();
    }();
    if (base.size() != size_t{kSectors} * 512) __builtin_trap();  // the formatter or mount failed
    std::vector<uint8_t> image = base;
    Damage(image, data, size);
    auto disk = std::make_shared<MemoryDiskDevice>(kSectors);
    disk->Poke(0, image.data(), image.size());
    MemoryDiskDevice::Register(1, disk);
    if (platform::MountFatVolume(u"Card", u"DSK1:") == 0) {
        int entries = 0;
        Walk(u"\\Card", 0, entries);
        Change();
        entries = 0;
        Walk(u"\\Card", 0, entries);
        platform::UnmountFatVolume(u"Card");
    }
    platform::ResetDevices();
    return 0;
}
