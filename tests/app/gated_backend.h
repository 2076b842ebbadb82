// A store that holds a copy up at one file: opening the file named by Hold waits until the
// test lets it go, so the test can act while the copy walk is inside that file. Every opened
// path is recorded, so a test sees which files the walk reached.
#pragma once

#include <platform/file_backend.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace app_test {

class GatedBackend final : public platform::FileBackend {
public:
    explicit GatedBackend(std::shared_ptr<platform::FileBackend> inner) : inner_(std::move(inner)) {}

    void Hold(std::u16string name) {
        std::lock_guard lock(mutex_);
        held_ = std::move(name);
        reached_ = false;
    }
    bool WaitReached() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return reached_; });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        held_.clear();
        changed_.notify_all();
    }
    std::vector<std::u16string> Opened() {
        std::lock_guard lock(mutex_);
        return opened_;
    }

    DWORD Stat(const platform::PathParts& p, platform::EntryInfo& info) override { return inner_->Stat(p, info); }
    DWORD Exists(const platform::PathParts& p) override { return inner_->Exists(p); }
    DWORD List(const platform::PathParts& p, std::vector<platform::EntryInfo>& entries) override {
        return inner_->List(p, entries);
    }
    DWORD ListNames(const platform::PathParts& p, std::vector<std::u16string>& names) override {
        return inner_->ListNames(p, names);
    }
    DWORD CreateFolder(const platform::PathParts& p, platform::FileTimeTicks now) override {
        return inner_->CreateFolder(p, now);
    }
    DWORD RemoveFolder(const platform::PathParts& p) override { return inner_->RemoveFolder(p); }
    DWORD CreateFile(const platform::PathParts& p, DWORD attributes, platform::FileTimeTicks now,
                     std::unique_ptr<platform::FileData>& file) override {
        return inner_->CreateFile(p, attributes, now, file);
    }
    DWORD OpenFile(const platform::PathParts& p, std::unique_ptr<platform::FileData>& file) override {
        std::unique_lock lock(mutex_);
        const std::u16string name = p.empty() ? std::u16string() : p.back();
        opened_.push_back(name);
        if (!held_.empty() && name == held_) {
            reached_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return held_.empty(); });
        }
        lock.unlock();
        return inner_->OpenFile(p, file);
    }
    DWORD DeleteFile(const platform::PathParts& p) override { return inner_->DeleteFile(p); }
    DWORD SetAttributes(const platform::PathParts& p, DWORD attributes) override {
        return inner_->SetAttributes(p, attributes);
    }
    DWORD SetTimes(const platform::PathParts& p, const platform::FileTimes& times) override {
        return inner_->SetTimes(p, times);
    }
    DWORD StageFile(const platform::PathParts& p, std::unique_ptr<platform::StagedFile>& staged) override {
        return inner_->StageFile(p, staged);
    }
    bool WriteProtected() override { return inner_->WriteProtected(); }

private:
    std::shared_ptr<platform::FileBackend> inner_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::u16string held_;
    bool reached_ = false;
    std::vector<std::u16string> opened_;
};

}  // namespace app_test
