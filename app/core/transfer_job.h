// The record the main loop fills and a worker thread reads; its address is the worker's start
// parameter.
#pragma once

#include <ui_framework/text_string.h>

#include <cstdint>

enum TransferMode : uint8_t { MODE_NONE = 0, MODE_BACKUP = 1, MODE_RESTORE = 2 };

struct TransferJob {
    // Where the copy reads from: empty (the device root) for a backup, the chosen backup
    // folder for a restore.
    ui::TextString source;
    // The backup folder of this run, formed by drive discovery.
    ui::TextString backupPath;
    // Set by the worker itself.
    uint8_t mode = MODE_NONE;
};
