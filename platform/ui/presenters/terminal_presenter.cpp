// The screen in characters, and a terminal that takes script actions as its keyboard.
#include <platform/ui/automation.h>
#include <platform/ui/paint.h>
#include <platform/ui/presenter.h>
#include <platform/ui/script.h>
#include <platform/text.h>

#include <istream>
#include <ostream>
#include <sstream>

namespace platform::ui {
namespace {

constexpr int kColumns = 80;
constexpr int kRows = 24;
constexpr int kCellWidth = kScreenWidth / kColumns;
constexpr int kCellHeight = kScreenHeight / kRows;

class Grid {
public:
    Grid() : rows_(kRows, std::string(kColumns, ' ')) {}

    void Put(int column, int row, const std::string& text) {
        if (row < 0 || row >= kRows) return;
        for (size_t i = 0; i < text.size(); ++i) {
            const int at = column + static_cast<int>(i);
            if (at >= 0 && at < kColumns) rows_[static_cast<size_t>(row)][static_cast<size_t>(at)] = text[i];
        }
    }
    void Box(const RECT& r) {
        const int left = r.left / kCellWidth, right = (r.right - 1) / kCellWidth;
        const int top = r.top / kCellHeight, bottom = (r.bottom - 1) / kCellHeight;
        for (int row = top; row <= bottom; ++row) {
            const bool edge = row == top || row == bottom;
            Put(left, row, edge ? "+" : "|");
            Put(left + 1, row, std::string(static_cast<size_t>(std::max(right - left - 1, 0)), edge ? '-' : ' '));
            Put(right, row, edge ? "+" : "|");
        }
    }
    std::vector<std::string> Lines() const { return rows_; }

private:
    std::vector<std::string> rows_;
};

std::string Plain(std::u16string_view text) {
    std::u16string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        plain.push_back(text[i] == u'\n' ? u' ' : text[i]);
    }
    return platform::ToUtf8(plain);
}

std::string ControlText(const automation::ControlInfo& c) {
    if (platform::EqualsIgnoreCase(c.className, u"Button")) return "[" + Plain(c.text) + "]";
    if (platform::EqualsIgnoreCase(c.className, u"msctls_progress32")) {
        const int width = std::max(static_cast<int>((c.rect.right - c.rect.left) / kCellWidth) - 2, 1);
        const int span = std::max(c.high - c.low, 1);
        const int filled = (c.position - c.low) * width / span;
        return "[" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(width - filled), ' ') + "]";
    }
    if (platform::EqualsIgnoreCase(c.className, u"ComboBox")) {
        const bool chosen = c.selection >= 0 && c.selection < static_cast<int>(c.items.size());
        return "[" + (chosen ? Plain(c.items[static_cast<size_t>(c.selection)]) : std::string()) + " v]";
    }
    return Plain(c.text);
}

void DrawWindow(Grid& grid, const automation::WindowInfo& w) {
    grid.Box(w.rect);
    const int top = w.rect.top / kCellHeight;
    grid.Put(w.rect.left / kCellWidth + 2, top, " " + Plain(w.title) + " ");
    std::string buttons = std::string(w.helpButton ? "[?]" : "") + (w.closeBox ? "[X]" : "");
    grid.Put((w.rect.right - 1) / kCellWidth - static_cast<int>(buttons.size()), top, buttons);
    for (const auto& c : automation::Controls(w.window)) {
        if (!c.visible) continue;
        const int column = c.rect.left / kCellWidth, row = c.rect.top / kCellHeight;
        grid.Put(column, row, ControlText(c));
        if (c.focused) grid.Put(column - 1, row, ">");
        if (c.dropped) {
            for (size_t i = 0; i < c.items.size(); ++i) {
                grid.Put(column, row + 1 + static_cast<int>(i),
                         (static_cast<int>(i) == c.selection ? "*" : " ") + Plain(c.items[i]));
            }
        }
    }
}

}  // namespace

std::vector<std::string> TerminalScreen() {
    Grid grid;
    auto windows = automation::Windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) DrawWindow(grid, *it);
    std::string taskbar;
    for (const auto& entry : automation::TaskbarEntries()) {
        taskbar += (entry.active ? "[*" : "[ ") + Plain(entry.title) + "] ";
    }
    grid.Put(0, kRows - 1, taskbar);
    return grid.Lines();
}

void RunTerminalPresenter(const std::function<bool()>& programEnded, std::istream& in, std::ostream& out) {
    auto show = [&] {
        automation::Settle();
        for (const auto& line : TerminalScreen()) out << line << "\n";
        out << "> " << std::flush;
    };
    show();
    std::string line;
    while (!programEnded() && std::getline(in, line)) {
        if (line == "quit") break;
        // Between two dialogs of the program there is a moment with none on the screen.
        automation::WaitUntil([&] { return programEnded() || !automation::Windows().empty(); },
                              automation::Limit(2000));
        std::istringstream action(line);
        automation::ScriptLog log(out);
        auto outcome = automation::RunScript(action, "terminal", log, programEnded);
        if (!outcome.ok) out << outcome.failure << "\n";
        if (programEnded()) break;
        show();
    }
}

}  // namespace platform::ui
