// The shared records seen as bytes, as a separately built module sees them: values stored at
// the documented offsets are the fields' values.
#include <drive/drive_context.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

template <class Record>
void Poke(Record& record, size_t offset, const void* value, size_t size) {
    std::memcpy(reinterpret_cast<BYTE*>(&record) + offset, value, size);
}

TEST(CommandRecordBytes, TheDriveInfoReplyHasOneLayoutOnEveryBuild) {
    CommandRecord record{};
    const DWORD kind = 2;
    const char16_t name[] = u"Storage";
    Poke(record, 12, &kind, 4);
    Poke(record, 16, name, sizeof name);
    EXPECT_EQ(record.info.deviceKind, 2u);
    EXPECT_EQ(std::u16string(record.info.folderName), u"Storage");
    EXPECT_EQ(sizeof record, 272u);
    const BYTE packet[12] = {0x28, 0, 0, 0, 0, 9};
    Poke(record, 12, packet, 12);
    EXPECT_EQ(record.command.packet[5], 9);
}

TEST(DiskRequestBytes, SegmentsFollowOneAnotherFromTheFirst) {
    DiskRequestWith<3> holder;
    BYTE buffers[3][4];
    for (DWORD i = 0; i < 3; ++i) holder.segments[i] = DiskSegment{buffers[i], 4 * (i + 1)};
    const DiskRequest* request = holder.request();
    EXPECT_EQ(request->segmentCount, 3u);
    const DiskSegment* segments = request->segments;
    EXPECT_EQ(segments[2].buffer, buffers[2]);
    EXPECT_EQ(segments[2].length, 12u);
}

#if UINTPTR_MAX == 0xFFFFFFFFu
TEST(DriveContextBytes, FieldsSitAtTheTargetsOffsets) {
    DriveContext context{};
    const DWORD kind = 2, flags = 5, total = 80000, openCount = 3;
    const BYTE select = 0xB0;
    Poke(context, 0x050, &kind, 4);
    Poke(context, 0x054, &flags, 4);
    Poke(context, 0x288, &total, 4);
    Poke(context, 0x2A0, &select, 1);
    Poke(context, 0x2A4, &openCount, 4);
    EXPECT_EQ(context.deviceKind, 2u);
    EXPECT_EQ(context.mediaFlags, 5u);
    EXPECT_EQ(context.diskInfo.totalSectors, 80000u);
    EXPECT_EQ(context.driveSelect, 0xB0);
    EXPECT_EQ(context.openCount, 3u);

    SocketRecord socket{};
    const DWORD state = 3, wide = 1;
    Poke(socket, 0x04, &state, 4);
    Poke(socket, 0x3C, &wide, 4);
    EXPECT_EQ(SocketStateOf(socket), 3u);
    EXPECT_EQ(socket.socketWideBus, 1u);
}
#endif

}  // namespace
