// The CE API subset the system's code is written against.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winreg.h"
#include "cewchar.h"
#include "cefiles.h"
#include "cedevice.h"
#include "wingdi.h"
#include "winuser.h"
#include "ceprocess.h"
