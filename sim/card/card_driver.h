// The card driver for one socket holding the drive's card. Attach brings the drive up and
// offers it: QVATAPI initialised and the medium registered, the DSK device of QVDISK over the
// drive context, the FAT volume on it at \<folder>, and CRD<socket>: whose codes 250 to 255 go
// to QVATAPI's Command. A watch thread checks the medium at least once a second and whenever a
// block request reports a change, and notices a card that was pulled. Detach undoes it all.
#pragma once

#include <drive/drive_context.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "card_controls.h"
#include "drive_library.h"

namespace qvcard {

class CardDriver {
public:
    explicit CardDriver(DWORD socket);
    ~CardDriver();
    CardDriver(const CardDriver&) = delete;
    CardDriver& operator=(const CardDriver&) = delete;

    // False with the last error when the drive cannot be brought up; nothing is left behind.
    bool Attach();
    // The card has left or is leaving. Returns when nothing of the drive is in use any more.
    void Detach();

    // The readWriteHandler's body: one block request on the drive.
    DWORD Transfer(DWORD code, DiskRequest* request);
    // CRD<n>: device control.
    BOOL Control(DWORD code, BYTE* in, DWORD inSize);

    static CardDriver* OfContext(const DriveContext* context);

private:
    bool BringUpDrive();
    bool OfferDevices();
    void Watch();
    void Wake();
    // CheckMedia, then mount or unmount as the medium came or went. Under mutex_.
    void CheckMedium();
    void Mount();
    void Unmount();
    // Takes the control lock unless the card is going (then false: the watch thread may hold
    // the lock while it deregisters the device whose call is waiting here).
    bool LockUnlessGoing(std::unique_lock<std::mutex>& lock);
    DWORD Format(const WCHAR* label, DWORD labelBytes);
    // Idempotent: the volume, both devices and the drive library go. Under mutex_.
    void TearDown();

    const DWORD socket_;
    SocketRecord record_{};
    DriveContext* context_ = nullptr;
    DriveLibrary library_;
    std::u16string folder_;
    std::u16string diskName_;
    HANDLE disk_ = nullptr;
    HANDLE card_ = nullptr;
    bool mounted_ = false;
    std::atomic<bool> tornDown_{false};
    std::mutex mutex_;

    std::thread watcher_;
    std::mutex wakeMutex_;
    std::condition_variable wakeChanged_;
    bool stop_ = false;
    bool checkDue_ = false;
};

}  // namespace qvcard
