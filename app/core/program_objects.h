// The program-wide objects, constructed before the start-up operation runs in this order: the
// path separator, then the application object; destroyed in the reverse order.
#pragma once

#include "backup_application.h"

// "\", loaded from string 10 when the main loop starts; every path the program joins uses it.
extern ui::TextString pathSeparator;
extern BackupApplication backupApplication;
