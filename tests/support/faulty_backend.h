// Fault injection for the file layer: a backend that passes everything to the one it wraps,
// except the faults a test asks for - an operation on a path failing with a given error, writes
// failing once a byte budget is spent (a store that fills up mid-copy), a file held open by
// another program, a write-protected medium (which also refuses writes through files already
// open).
#pragma once

#include <platform/file_backend.h>
#include <platform/text.h>
#include <winerror.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>

namespace testing_support {

using platform::EntryInfo;
using platform::FileBackend;
using platform::FileData;
using platform::FileTimes;
using platform::FileTimeTicks;
using platform::PathParts;
using platform::StagedFile;

class FaultyBackend final : public FileBackend {
public:
    enum class Op { Stat, List, CreateFolder, RemoveFolder, CreateFile, OpenFile, DeleteFile,
                    SetAttributes, SetTimes, StageFile };

    explicit FaultyBackend(std::shared_ptr<FileBackend> inner) : inner_(std::move(inner)) {}

    // path is relative to this backend's root, e.g. u"\\Docs\\a.txt".
    void FailOn(Op op, std::u16string_view path, DWORD error) {
        std::lock_guard lock(mutex_);
        failures_[{op, platform::Folded(path)}] = error;
    }
    // Writes beyond the next `bytes` bytes (through any file of this backend) fail with error.
    void FailWritesAfter(uint64_t bytes, DWORD error = ERROR_DISK_FULL) {
        budget_->remaining = static_cast<int64_t>(bytes);
        budget_->error = error;
    }
    void HoldOpen(std::u16string_view path) {
        std::lock_guard lock(mutex_);
        held_.insert(platform::Folded(path));
    }
    void SetWriteProtected(bool on) { budget_->writeProtected = on; }
    // Called with the path (as the backend sees it) of every file opened for reading or staged
    // for writing, on the opening thread before the open is decided: a test can act at the
    // moment a copy reaches a given file.
    using FileWatcher = std::function<void(Op, const std::u16string&)>;
    void WatchFiles(FileWatcher watcher) {
        std::lock_guard lock(mutex_);
        watcher_ = std::move(watcher);
    }
    // The largest single write that reached the wrapped store.
    DWORD LargestWrite() const { return budget_->largest; }
    void Clear() {
        std::lock_guard lock(mutex_);
        failures_.clear();
        held_.clear();
        budget_->remaining = INT64_MAX;
        budget_->writeProtected = false;
    }

    DWORD Stat(const PathParts& p, EntryInfo& info) override {
        return Check(Op::Stat, p, [&] { return inner_->Stat(p, info); });
    }
    DWORD Exists(const PathParts& p) override {
        return Check(Op::Stat, p, [&] { return inner_->Exists(p); });
    }
    DWORD List(const PathParts& p, std::vector<EntryInfo>& entries) override {
        return Check(Op::List, p, [&] { return inner_->List(p, entries); });
    }
    DWORD ListNames(const PathParts& p, std::vector<std::u16string>& names) override {
        return Check(Op::List, p, [&] { return inner_->ListNames(p, names); });
    }
    DWORD CreateFolder(const PathParts& p, FileTimeTicks now) override {
        return Check(Op::CreateFolder, p, [&] { return inner_->CreateFolder(p, now); });
    }
    DWORD RemoveFolder(const PathParts& p) override {
        return Check(Op::RemoveFolder, p, [&] { return inner_->RemoveFolder(p); });
    }
    DWORD CreateFile(const PathParts& p, DWORD attributes, FileTimeTicks now,
                     std::unique_ptr<FileData>& file) override {
        return Check(Op::CreateFile, p, [&] {
            return Wrapped(inner_->CreateFile(p, attributes, now, file), file);
        });
    }
    DWORD OpenFile(const PathParts& p, std::unique_ptr<FileData>& file) override {
        Watch(Op::OpenFile, p);
        if (IsHeld(p)) return ERROR_SHARING_VIOLATION;
        return Check(Op::OpenFile, p, [&] { return Wrapped(inner_->OpenFile(p, file), file); });
    }
    DWORD DeleteFile(const PathParts& p) override {
        if (IsHeld(p)) return ERROR_SHARING_VIOLATION;
        return Check(Op::DeleteFile, p, [&] { return inner_->DeleteFile(p); });
    }
    DWORD SetAttributes(const PathParts& p, DWORD attributes) override {
        return Check(Op::SetAttributes, p, [&] { return inner_->SetAttributes(p, attributes); });
    }
    DWORD SetTimes(const PathParts& p, const FileTimes& times) override {
        return Check(Op::SetTimes, p, [&] { return inner_->SetTimes(p, times); });
    }
    DWORD StageFile(const PathParts& p, std::unique_ptr<StagedFile>& staged) override {
        Watch(Op::StageFile, p);
        if (IsHeld(p)) return ERROR_SHARING_VIOLATION;
        return Check(Op::StageFile, p, [&] {
            const DWORD error = inner_->StageFile(p, staged);
            if (error == 0) staged = std::make_unique<Staged>(std::move(staged), budget_);
            return error;
        });
    }
    bool WriteProtected() override { return budget_->writeProtected || inner_->WriteProtected(); }

private:
    // What every file of this backend shares.
    struct Budget {
        std::atomic<bool> writeProtected{false};
        std::atomic<int64_t> remaining{INT64_MAX};
        std::atomic<DWORD> error{ERROR_DISK_FULL};
        std::atomic<DWORD> largest{0};
    };

    class CountedData final : public FileData {
    public:
        CountedData(std::unique_ptr<FileData> inner, std::shared_ptr<Budget> budget)
            : inner_(std::move(inner)), budget_(std::move(budget)) {}
        DWORD Read(uint64_t offset, void* buffer, DWORD count, DWORD& done) override {
            return inner_->Read(offset, buffer, count, done);
        }
        DWORD Write(uint64_t offset, const void* buffer, DWORD count) override {
            if (budget_->writeProtected) return ERROR_WRITE_PROTECT;
            if (budget_->remaining.fetch_sub(count) < static_cast<int64_t>(count)) {
                budget_->remaining = 0;
                return budget_->error;
            }
            DWORD seen = budget_->largest;
            while (count > seen && !budget_->largest.compare_exchange_weak(seen, count)) {
            }
            return inner_->Write(offset, buffer, count);
        }
        DWORD Resize(uint64_t size) override {
            return budget_->writeProtected ? ERROR_WRITE_PROTECT : inner_->Resize(size);
        }
        uint64_t Size() override { return inner_->Size(); }
        DWORD SetTimes(const FileTimes& times) override { return inner_->SetTimes(times); }
        DWORD GetTimes(FileTimeTicks& c, FileTimeTicks& a, FileTimeTicks& w) override {
            return inner_->GetTimes(c, a, w);
        }

    private:
        std::unique_ptr<FileData> inner_;
        std::shared_ptr<Budget> budget_;
    };

    class Staged final : public StagedFile {
    public:
        Staged(std::unique_ptr<StagedFile> inner, std::shared_ptr<Budget> budget)
            : inner_(std::move(inner)), data_(Borrowed(inner_->Data()), std::move(budget)) {}
        FileData& Data() override { return data_; }
        DWORD Commit(DWORD attributes, const FileTimes& times) override {
            return inner_->Commit(attributes, times);
        }

    private:
        // The staged data belongs to the inner staged file; this view only forwards to it.
        class View final : public FileData {
        public:
            explicit View(FileData& data) : data_(data) {}
            DWORD Read(uint64_t o, void* b, DWORD c, DWORD& d) override { return data_.Read(o, b, c, d); }
            DWORD Write(uint64_t o, const void* b, DWORD c) override { return data_.Write(o, b, c); }
            DWORD Resize(uint64_t s) override { return data_.Resize(s); }
            uint64_t Size() override { return data_.Size(); }
            DWORD SetTimes(const FileTimes& t) override { return data_.SetTimes(t); }
            DWORD GetTimes(FileTimeTicks& c, FileTimeTicks& a, FileTimeTicks& w) override {
                return data_.GetTimes(c, a, w);
            }

        private:
            FileData& data_;
        };
        static std::unique_ptr<FileData> Borrowed(FileData& data) {
            return std::make_unique<View>(data);
        }

        std::unique_ptr<StagedFile> inner_;
        CountedData data_;
    };

    static std::u16string KeyOf(const PathParts& p) {
        std::u16string key;
        for (const auto& part : p) key += u"\\" + platform::Folded(part);
        return key;
    }

    void Watch(Op op, const PathParts& p) {
        FileWatcher watcher;
        {
            std::lock_guard lock(mutex_);
            watcher = watcher_;
        }
        if (watcher) {
            std::u16string path;
            for (const auto& part : p) path += u"\\" + std::u16string(part);
            watcher(op, path);
        }
    }

    bool IsHeld(const PathParts& p) {
        std::lock_guard lock(mutex_);
        return held_.contains(KeyOf(p));
    }

    template <class Call>
    DWORD Check(Op op, const PathParts& p, Call call) {
        {
            std::lock_guard lock(mutex_);
            auto it = failures_.find({op, KeyOf(p)});
            if (it != failures_.end()) return it->second;
        }
        return call();
    }

    DWORD Wrapped(DWORD error, std::unique_ptr<FileData>& file) {
        if (error == 0) file = std::make_unique<CountedData>(std::move(file), budget_);
        return error;
    }

    std::shared_ptr<FileBackend> inner_;
    std::mutex mutex_;
    std::map<std::pair<Op, std::u16string>, DWORD> failures_;
    std::set<std::u16string> held_;
    FileWatcher watcher_;
    std::shared_ptr<Budget> budget_ = std::make_shared<Budget>();
};

}  // namespace testing_support
