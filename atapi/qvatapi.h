// QVATAPI's entry points, called by the card driver with the drive's context. Each returns a
// 32-bit result value (Init alone answers 1 or 0).
#pragma once

#include <drive/drive_context.h>

// Finds and identifies the drive at select 0xA0, else 0xB0: 1 when one answered.
CE_EXPORT DWORD Init(DriveContext* context);
CE_EXPORT DWORD Close(DriveContext* context);
// Raw requests 250 to 255 (see command_export.cpp).
CE_EXPORT DWORD Command(DriveContext* context, DWORD code, CommandRecord* record);
CE_EXPORT DWORD Read(DriveContext* context, DiskRequest* request);
CE_EXPORT DWORD Write(DriveContext* context, DiskRequest* request);
// Registers the present medium; the medium's state is read from the context afterwards.
CE_EXPORT DWORD CheckMedia(DriveContext* context);

// The entry points' types, for callers that resolve them by name.
typedef DWORD (*QvInitFunction)(DriveContext*);
typedef DWORD (*QvCloseFunction)(DriveContext*);
typedef DWORD (*QvCommandFunction)(DriveContext*, DWORD, CommandRecord*);
typedef DWORD (*QvTransferFunction)(DriveContext*, DiskRequest*);
typedef DWORD (*QvCheckMediaFunction)(DriveContext*);
