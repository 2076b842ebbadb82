// The UI framework the program's dialogs are written against: application object, dialogs,
// controls, data exchange, text strings and string lists.
#pragma once

#include <ui_framework/application.h>
#include <ui_framework/controls.h>
#include <ui_framework/data_exchange.h>
#include <ui_framework/dialog.h>
#include <ui_framework/string_list.h>
#include <ui_framework/text_string.h>
