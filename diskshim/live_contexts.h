// The set of drive contexts between DSK_Init and DSK_Deinit, linked through each context's own
// link field (newest first), and the open counts they carry. One lock guards both; it exists
// from the module's process attach to its detach.
#pragma once

#include <drive/drive_context.h>

namespace qvdisk {

void CreateLock();
void DeleteLock();

// Adds the context at the head with no opens; a context already in the set moves to the head.
void Add(DriveContext* context);
// Removes a live context and clears its opens; false when it was not live.
bool Remove(DriveContext* context);
bool IsLive(const DriveContext* context);

// Open-count changes of a live context; false when it is not live.
bool CountOpen(DriveContext* context);
bool CountClose(DriveContext* context);
// The opens of a live context, or false when it is not live.
bool OpensOfLive(const DriveContext* context, DWORD& opens);

}  // namespace qvdisk
