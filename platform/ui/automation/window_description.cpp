// The text a run prints for each window shown: its title and every control's id, class and text.
#include <platform/ui/automation.h>
#include <platform/text.h>

namespace platform::ui::automation {
namespace {

std::string Quoted(std::u16string_view text) {
    std::string out = "\"";
    for (char c : platform::ToUtf8(text)) out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return out + "\"";
}

}  // namespace

std::string DescribeWindow(const WindowInfo& window) {
    std::string text = "shown: " + Quoted(window.title);
    text += window.templateId ? " (template " + std::to_string(window.templateId) + ")\n" : " (message box)\n";
    for (const auto& control : Controls(window.window)) {
        text += "  " + std::to_string(control.id) + " " + platform::ToUtf8(control.className) + " " +
                Quoted(control.text) + "\n";
        // A list shows its items, the chosen one marked.
        for (size_t i = 0; i < control.items.size(); ++i) {
            text += std::string(static_cast<int>(i) == control.selection ? "    * " : "      ") +
                    Quoted(control.items[i]) + "\n";
        }
    }
    return text;
}

}  // namespace platform::ui::automation
