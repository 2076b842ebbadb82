#include "program_objects.h"

// Both in one translation unit, so their construction order is their order here.
ui::TextString pathSeparator;
BackupApplication backupApplication;
