#include <ui_framework/application.h>

#include <platform/ui/resources.h>

#include <atomic>
#include <mutex>

namespace ui {
namespace {

std::atomic<Application*> current{nullptr};

std::mutex launcherMutex;
ProgramLauncher launcher;

}  // namespace

Application::Application(const WCHAR* name, const WCHAR* helpFile)
    : name_(name), helpFile_(helpFile) {
    current.store(this);
    AddCommand(ID_HELP, [this] { OnHelp(); });
}

Application::~Application() {
    Application* self = this;
    current.compare_exchange_strong(self, nullptr);
}

Application* Application::Current() { return current.load(); }

HINSTANCE Application::Instance() const { return platform::ui::ProgramInstance(); }

void Application::AddCommand(UINT id, std::function<void()> handler) {
    commands_[id] = std::move(handler);
}

bool Application::ExecuteCommand(UINT id) {
    auto found = commands_.find(id);
    if (found == commands_.end()) return false;
    found->second();
    return true;
}

void Application::OnHelp() {
    const TextString commandLine = TextString(u"file:") + helpFile_;
    if (!LaunchProgram(u"PegHelp.exe", commandLine)) {
        ApplicationMessageBox(GetActiveWindow(), FrameworkString(IDS_HELP_LAUNCH_FAILED));
    }
}

int RunApplication() {
    Application* application = Application::Current();
    if (application) application->Startup();
    return 0;
}

int ApplicationMessageBox(HWND owner, const WCHAR* text, UINT type) {
    Application* application = Application::Current();
    return ::MessageBox(owner, text, application ? application->Name().c_str() : u"", type);
}

TextString FrameworkString(UINT id) {
    TextString text;
    if (text.LoadString(id)) return text;
    switch (id) {
        case IDS_HELP_LAUNCH_FAILED: return TextString(u"Failed to launch help.");
        case IDS_FIELD_TOO_LONG: return TextString(u"Please enter no more than %1 characters.");
        default: return text;
    }
}

void SetProgramLauncher(ProgramLauncher replacement) {
    std::lock_guard lock(launcherMutex);
    launcher = std::move(replacement);
}

bool LaunchProgram(const WCHAR* program, const WCHAR* commandLine) {
    ProgramLauncher chosen;
    {
        std::lock_guard lock(launcherMutex);
        chosen = launcher;
    }
    return chosen && chosen(program, commandLine);
}

}  // namespace ui
