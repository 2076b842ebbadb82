// The handheld's help viewer, PegHelp.exe: started with "file:" and a help file's name, it
// shows that file of the \Windows folder in a dialog. The help files of the simulated handheld
// are plain text, one byte a character.
#include <windows.h>

#include <string>

namespace {

constexpr WCHAR kTitle[] = u"Help";
constexpr DWORD kMaxHelpBytes = 16 * 1024;

// The file named by a "file:" command line, in \Windows; empty when the line names none.
std::u16string HelpFilePath(const WCHAR* commandLine) {
    const std::u16string line = commandLine ? commandLine : u"";
    const std::u16string prefix = u"file:";
    if (line.compare(0, prefix.size(), prefix) != 0 || line.size() == prefix.size()) return {};
    return u"\\Windows\\" + line.substr(prefix.size());
}

bool ReadHelpText(const std::u16string& path, std::u16string& text) {
    HANDLE file = CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string bytes(kMaxHelpBytes, '\0');
    DWORD read = 0;
    const BOOL ok = ReadFile(file, bytes.data(), kMaxHelpBytes, &read, nullptr);
    CloseHandle(file);
    if (!ok) return false;
    text.clear();
    for (DWORD i = 0; i < read; ++i) {
        if (bytes[i] != '\r') text.push_back(static_cast<unsigned char>(bytes[i]));
    }
    while (!text.empty() && text.back() == u'\n') text.pop_back();
    return true;
}

}  // namespace

CE_EXPORT int WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    const std::u16string path = HelpFilePath(commandLine);
    std::u16string text;
    if (path.empty() || !ReadHelpText(path, text)) {
        MessageBox(nullptr, u"The help file cannot be opened.", kTitle, MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }
    MessageBox(nullptr, text.c_str(), kTitle, MB_OK);
    return 0;
}
