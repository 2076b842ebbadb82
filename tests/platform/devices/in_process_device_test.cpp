// A device implemented inside the process: the card driver's CRD device answering code 250
// the way the backup program asks for the drive's folder.
#include <pkfuncs.h>
#include <platform/devices.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;
constexpr DWORD kDriveInfo = 250;
constexpr DWORD kRecordBytes = 272;
constexpr DWORD kFolderOffset = 16;

// Fills the 272-byte record with the drive's folder name, the way the card driver does.
class CardDevice final : public platform::StreamDevice {
public:
    DWORD_PTR Open(DWORD, DWORD) override { return ++opens; }
    BOOL Close(DWORD_PTR) override {
        ++closes;
        return TRUE;
    }
    BOOL IoControl(DWORD_PTR, DWORD code, BYTE* in, DWORD inSize, BYTE* out, DWORD outSize,
                   DWORD*) override {
        lastOut = out;
        lastOutSize = outSize;
        if (code != kDriveInfo || in == nullptr || inSize < kRecordBytes) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        auto* record = static_cast<BYTE*>(MapPtrToProcess(in, GetCallerProcess()));
        record[12] = 5;
        const char16_t folder[] = u"Storage";
        std::memcpy(record + kFolderOffset, folder, sizeof folder);
        return TRUE;
    }

    int opens = 0, closes = 0;
    BYTE* lastOut = reinterpret_cast<BYTE*>(1);
    DWORD lastOutSize = 99;
};

class InProcessDevice : public ::testing::Test {
protected:
    void TearDown() override { platform::ResetDevices(); }
};

// The call sequence of drive discovery: each name opened for reading and writing, shared,
// existing only; the first that answers 250 names the folder.
std::u16string DiscoverFolder() {
    for (int index = 0; index < 10; ++index) {
        const char16_t name[] = {u'C', u'R', u'D', static_cast<char16_t>(u'0' + index), u':', 0};
        HANDLE device = CreateFile(name, GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                   nullptr);
        if (device == INVALID_HANDLE_VALUE) continue;
        BYTE record[kRecordBytes] = {};
        DWORD returned = 0;
        const BOOL ok = DeviceIoControl(device, kDriveInfo, record, kRecordBytes, nullptr, 0,
                                        &returned, nullptr);
        CloseHandle(device);
        if (ok) return reinterpret_cast<const char16_t*>(record + kFolderOffset);
    }
    return u"<none>";
}

TEST_F(InProcessDevice, TheCardDeviceAnswers250WithTheDrivesFolder) {
    EXPECT_EQ(DiscoverFolder(), u"<none>");
    auto card = std::make_shared<CardDevice>();
    ASSERT_NE(platform::RegisterInProcessDevice(u"CRD", 3, card), nullptr);
    EXPECT_EQ(DiscoverFolder(), u"Storage");
    EXPECT_EQ(card->opens, 1);
    EXPECT_EQ(card->closes, 1);
    EXPECT_EQ(card->lastOut, nullptr);
    EXPECT_EQ(card->lastOutSize, 0u);
}

TEST_F(InProcessDevice, MissingDevicesAndBadNamesFailAsCeDoes) {
    auto card = std::make_shared<CardDevice>();
    HANDLE registered = platform::RegisterInProcessDevice(u"CRD", 0, card);
    ASSERT_NE(registered, nullptr);
    SetLastError(kSentinel);
    EXPECT_EQ(CreateFile(u"CRD1:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_DEV_NOT_EXIST);
    SetLastError(kSentinel);
    EXPECT_EQ(platform::RegisterInProcessDevice(u"crd", 0, card), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    // A name that is not of the device form is a file name, and files cannot hold a colon.
    SetLastError(kSentinel);
    EXPECT_EQ(CreateFile(u"CRD10:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);

    HANDLE open = CreateFile(u"CRD0:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    BYTE shortRecord[8] = {};
    SetLastError(kSentinel);
    EXPECT_FALSE(DeviceIoControl(open, kDriveInfo, shortRecord, sizeof shortRecord, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    // Reading a device without a read entry is refused, not a crash.
    BYTE byte = 0;
    DWORD done = 5;
    SetLastError(kSentinel);
    EXPECT_FALSE(ReadFile(open, &byte, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(CloseHandle(open));
    EXPECT_TRUE(DeregisterDevice(registered));
}

TEST(CallerProcess, PointersNeedNoTranslation) {
    int value = 0;
    EXPECT_NE(GetCallerProcess(), nullptr);
    EXPECT_EQ(MapPtrToProcess(&value, GetCallerProcess()), &value);
}

}  // namespace
