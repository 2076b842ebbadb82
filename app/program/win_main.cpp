// The program's entry: the framework runs the application object's start-up operation.
#include <ui_framework/application.h>

CE_EXPORT int WinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return ui::RunApplication(); }
