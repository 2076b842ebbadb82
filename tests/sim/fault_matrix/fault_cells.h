// The fault matrix's cells: which fault, at which moment of a backup or a restore, and the
// cells that cannot arise, with the reason.
#pragma once

#include <string>
#include <vector>

namespace fault_matrix {

enum class Fault { Pulled, Ejected, WriteProtected, DiskFull, MediumError, HardwareError, Stall,
                   ShortBurst, InUse, Cancel };
enum class Moment { BackupBeforeFirst, BackupMidFile, BackupBetweenFiles, BackupLastFile,
                    RestoreAtSelection, RestoreAtQuestion, RestoreMidFile };

inline constexpr Fault kFaults[] = {Fault::Pulled, Fault::Ejected, Fault::WriteProtected, Fault::DiskFull,
                                    Fault::MediumError, Fault::HardwareError, Fault::Stall,
                                    Fault::ShortBurst, Fault::InUse, Fault::Cancel};
inline constexpr Moment kMoments[] = {Moment::BackupBeforeFirst, Moment::BackupMidFile,
                                      Moment::BackupBetweenFiles, Moment::BackupLastFile,
                                      Moment::RestoreAtSelection, Moment::RestoreAtQuestion,
                                      Moment::RestoreMidFile};

inline const char* Name(Fault fault) {
    switch (fault) {
        case Fault::Pulled: return "card pulled";
        case Fault::Ejected: return "medium ejected";
        case Fault::WriteProtected: return "medium write-protected";
        case Fault::DiskFull: return "disk full";
        case Fault::MediumError: return "medium error (3/0x0C, 3/0x11)";
        case Fault::HardwareError: return "hardware error (4/0x44)";
        case Fault::Stall: return "drive stall (time-out)";
        case Fault::ShortBurst: return "short data burst (DRQ, 0 bytes)";
        case Fault::InUse: return "device file in use";
        case Fault::Cancel: return "Cancel pressed";
    }
    return "?";
}

inline const char* Name(Moment moment) {
    switch (moment) {
        case Moment::BackupBeforeFirst: return "backup: before the first file";
        case Moment::BackupMidFile: return "backup: mid-file";
        case Moment::BackupBetweenFiles: return "backup: between files";
        case Moment::BackupLastFile: return "backup: at the last file";
        case Moment::RestoreAtSelection: return "restore: at the selection";
        case Moment::RestoreAtQuestion: return "restore: at a replace question";
        case Moment::RestoreMidFile: return "restore: mid-file";
    }
    return "?";
}

inline bool IsBackup(Moment moment) { return moment <= Moment::BackupLastFile; }

// "" when the cell applies, else why it cannot.
inline const char* NotApplicable(Fault fault, Moment moment) {
    if (fault == Fault::DiskFull && (moment == Moment::BackupBetweenFiles || moment == Moment::BackupLastFile)) {
        return "space runs out inside a write, so it falls within a file: the before-first and mid-file cells cover it";
    }
    if (fault == Fault::InUse && (moment == Moment::BackupMidFile || moment == Moment::RestoreMidFile)) {
        return "a file is found in use when its copy opens it; once open, the copy holds it";
    }
    if (fault == Fault::WriteProtected && !IsBackup(moment)) {
        return "a restore only reads the medium; the device's store has no write-protect switch";
    }
    return "";
}

}  // namespace fault_matrix
