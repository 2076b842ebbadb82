// CopyFile: the copy is written aside and put in place of the destination in one step, so a copy
// that fails midway (full store, a medium fault) leaves the old destination as it was. Contents
// move in chunks of fixed size: memory use does not grow with the file.
#include "ce_path.h"
#include "layer.h"
#include "lookup_step.h"
#include "share_table.h"

#include <memory>

namespace fs = platform::fs;

namespace platform::fs {
namespace {

constexpr DWORD kChunkBytes = 64 * 1024;

struct CopyPlan {
    Resolved source;
    Resolved target;
    EntryInfo sourceInfo;
    std::unique_ptr<ShareLease> sourceLease;
    std::unique_ptr<ShareLease> targetLease;
};

// The checks a copy must pass before any data moves: what CE reports for a missing source, a
// destination that may not be replaced, and files held open.
DWORD CheckTarget(const Resolved& target, bool failIfExists) {
    if (target.IsRoot() || target.IsMountPoint()) return ERROR_ACCESS_DENIED;
    EntryInfo info;
    const DWORD found = target.backend->Stat(target.relative, info);
    if (found == 0) {
        if (failIfExists) return ERROR_FILE_EXISTS;
        if (info.IsFolder() || IsProtected(info)) return ERROR_ACCESS_DENIED;
    } else if (found != ERROR_FILE_NOT_FOUND) {
        return found;
    }
    return target.backend->WriteProtected() ? ERROR_WRITE_PROTECT : 0;
}

DWORD Prepare(LPCWSTR existing, LPCWSTR fresh, bool failIfExists, CopyPlan& plan) {
    PathParts sourceParts, targetParts;
    if (DWORD error = ParseCePath(existing, PathUse::Lookup, sourceParts); error != 0) return error;
    if (DWORD error = ParseCePath(fresh, PathUse::Create, targetParts); error != 0) return error;
    plan.source = Resolve(std::move(sourceParts));
    plan.target = Resolve(std::move(targetParts));
    if (DWORD error = StatResolved(plan.source, plan.sourceInfo); error != 0) return error;
    if (plan.sourceInfo.IsFolder()) return ERROR_ACCESS_DENIED;
    if (DWORD error = CheckTarget(plan.target, failIfExists); error != 0) return error;
    if (DWORD error = AcquireShare(plan.source, GENERIC_READ, FILE_SHARE_READ, plan.sourceLease);
        error != 0) {
        return error;
    }
    return AcquireShare(plan.target, GENERIC_WRITE, 0, plan.targetLease);
}

// One chunk per thread, kept: a tree copy moves thousands of small files, and taking the chunk
// afresh for each showed in its profile. A copy made while the thread's chunk is in use (from
// within a store's own reads or writes) takes one of its own.
class ChunkOfThisThread {
public:
    ChunkOfThisThread() : own_(inUse ? std::make_unique_for_overwrite<char[]>(kChunkBytes) : nullptr) {
        if (!own_) inUse = true;
    }
    ~ChunkOfThisThread() {
        if (!own_) inUse = false;
    }
    ChunkOfThisThread(const ChunkOfThisThread&) = delete;
    ChunkOfThisThread& operator=(const ChunkOfThisThread&) = delete;
    // Left uninitialised: every byte written out was read in first.
    char* get() { return own_ ? own_.get() : kept.get(); }

private:
    static thread_local inline bool inUse = false;
    static thread_local inline const std::unique_ptr<char[]> kept =
        std::make_unique_for_overwrite<char[]>(kChunkBytes);
    std::unique_ptr<char[]> own_;
};

DWORD MoveContents(FileData& from, FileData& to) {
    ChunkOfThisThread chunk;
    for (uint64_t offset = 0;;) {
        DWORD got = 0;
        if (DWORD error = from.Read(offset, chunk.get(), kChunkBytes, got); error != 0) {
            return error;
        }
        if (got == 0) return 0;
        if (DWORD error = to.Write(offset, chunk.get(), got); error != 0) return error;
        offset += got;
        // A short chunk is the end of the file; asking again would cost a read for nothing.
        if (got < kChunkBytes) return 0;
    }
}

// The source opened and the copy staged: with the checks before them, one step.
DWORD Open(CopyPlan& plan, std::unique_ptr<FileData>& from, std::unique_ptr<StagedFile>& staged) {
    if (DWORD error = plan.source.backend->OpenFile(plan.source.relative, from); error != 0) {
        return error;
    }
    return plan.target.backend->StageFile(plan.target.relative, staged);
}

DWORD Finish(const CopyPlan& plan, bool failIfExists, StagedFile& staged) {
    std::lock_guard lock(NamespaceLock());
    // The destination may have changed while the data moved: it is looked up afresh, and
    // putting the copy in place answers from that look-up.
    LookupStep step;
    if (DWORD error = CheckTarget(plan.target, failIfExists); error != 0) return error;
    // A copy is an ordinary file wherever its source lived: it keeps the other attributes.
    const DWORD attributes = plan.sourceInfo.attributes & kSettableAttributes;
    const FileTimeTicks now = Now();
    return staged.Commit(attributes, FileTimes{now, now, plan.sourceInfo.written});
}

// The whole copy. Its open source and staged copy are gone when this returns: dropping a
// staged copy may itself reach a failing device, which must not replace the error the copy
// reports.
DWORD Copy(LPCWSTR existingFile, LPCWSTR newFile, bool failIfExists) {
    CopyPlan plan;
    std::unique_ptr<FileData> from;
    std::unique_ptr<StagedFile> staged;
    {
        LookupStep step;
        {
            std::lock_guard lock(NamespaceLock());
            if (DWORD error = Prepare(existingFile, newFile, failIfExists, plan); error != 0) {
                return error;
            }
        }
        if (DWORD error = Open(plan, from, staged); error != 0) return error;
    }
    if (DWORD error = MoveContents(*from, staged->Data()); error != 0) return error;
    return Finish(plan, failIfExists, *staged);
}

}  // namespace
}  // namespace platform::fs

BOOL CopyFile(LPCWSTR existingFile, LPCWSTR newFile, BOOL failIfExists) {
    if (DWORD error = platform::fs::Copy(existingFile, newFile, failIfExists != FALSE); error != 0) {
        return platform::fs::Fail(error);
    }
    return TRUE;
}
