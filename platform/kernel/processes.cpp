// CreateProcess for the handheld's programs: the program module is loaded by its CE file name,
// WinMain runs on a new thread with the command line, and the module is unloaded when WinMain
// has returned, so its program-wide objects are destroyed at program end and the next start
// constructs them afresh.
#include "completion.h"

#include <ceprocess.h>
#include <platform/kernel_object.h>
#include <platform/programs.h>
#include <winbase.h>

#include <memory>
#include <string>

namespace {

constexpr DWORD kErrorBadExeFormat = 193;

class ProcessObject final : public platform::KernelObject {
public:
    platform::Completion completion;

    DWORD Wait(DWORD milliseconds) override { return completion.Wait(milliseconds); }
};

struct Launch {
    HMODULE module = nullptr;
    WINMAIN_ENTRY entry = nullptr;
    std::u16string commandLine;
    std::shared_ptr<ProcessObject> process;
};

DWORD WINAPI RunProgram(LPVOID parameter) {
    std::unique_ptr<Launch> launch(static_cast<Launch*>(parameter));
    HINSTANCE instance = platform::detail::ModuleInstanceOf(reinterpret_cast<const void*>(launch->entry));
    platform::SetCurrentProgramInstance(instance);
    const int code = launch->entry(instance, nullptr, launch->commandLine.data(), 1);
    FreeLibrary(launch->module);
    platform::SetCurrentProgramInstance(nullptr);
    launch->process->completion.Finish(static_cast<DWORD>(code));
    return static_cast<DWORD>(code);
}

}  // namespace

BOOL CreateProcess(LPCWSTR imageName, LPCWSTR commandLine, void*, void*, BOOL, DWORD, LPVOID,
                   LPCWSTR, void*, LPPROCESS_INFORMATION information) {
    if (imageName == nullptr || *imageName == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HMODULE module = LoadLibrary(imageName);
    if (module == nullptr) {
        if (GetLastError() == ERROR_MOD_NOT_FOUND) SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    auto entry = reinterpret_cast<WINMAIN_ENTRY>(GetProcAddress(module, u"WinMain"));
    if (entry == nullptr) {
        FreeLibrary(module);
        SetLastError(kErrorBadExeFormat);
        return FALSE;
    }
    auto launch = std::make_unique<Launch>();
    launch->module = module;
    launch->entry = entry;
    launch->commandLine = commandLine ? std::u16string(commandLine) : std::u16string();
    launch->process = std::make_shared<ProcessObject>();
    auto process = launch->process;
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, RunProgram, launch.get(), 0, &threadId);
    if (thread == nullptr) {
        FreeLibrary(module);
        return FALSE;
    }
    launch.release();  // the program's thread owns it now
    HANDLE processHandle = platform::RegisterHandle(process);
    if (information) {
        *information = PROCESS_INFORMATION{processHandle, thread, threadId, threadId};
    } else {
        CloseHandle(processHandle);
        CloseHandle(thread);
    }
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE handle, LPDWORD exitCode) {
    auto process = platform::LookupHandleAs<ProcessObject>(handle);
    if (!process || exitCode == nullptr) {
        SetLastError(process ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = process->completion.ExitCode();
    return TRUE;
}
