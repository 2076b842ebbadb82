// The screen in characters, and a terminal that takes script actions as its keyboard.
#include <platform/ui/automation.h>
#include <platform/ui/paint.h>
#include <platform/ui/presenter.h>
#include <platform/ui/script.h>
#include <platform/text.h>

#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

namespace platform::ui {
namespace {

constexpr int kColumns = 80;
constexpr int kRows = 24;
constexpr int kCellWidth = kScreenWidth / kColumns;
constexpr int kCellHeight = kScreenHeight / kRows;

// A rectangle of cells, both ends included.
struct Cells {
    int left, top, right, bottom;
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
};

Cells CellsOf(const RECT& r) {
    return Cells{r.left / kCellWidth, r.top / kCellHeight, (r.right - 1) / kCellWidth, (r.bottom - 1) / kCellHeight};
}

class Grid {
public:
    Grid() : rows_(kRows, std::string(kColumns, ' ')) {}

    // Text written from (column, row), nothing of it outside `clip`.
    void Put(int column, int row, const std::string& text, const Cells& clip = {0, 0, kColumns - 1, kRows - 1}) {
        if (row < std::max(clip.top, 0) || row > std::min(clip.bottom, kRows - 1)) return;
        for (size_t i = 0; i < text.size(); ++i) {
            const int at = column + static_cast<int>(i);
            if (at >= std::max(clip.left, 0) && at <= std::min(clip.right, kColumns - 1)) {
                rows_[static_cast<size_t>(row)][static_cast<size_t>(at)] = text[i];
            }
        }
    }
    void Box(const Cells& c) {
        for (int row = c.top; row <= c.bottom; ++row) {
            const bool edge = row == c.top || row == c.bottom;
            Put(c.left, row, edge ? "+" : "|");
            Put(c.left + 1, row, std::string(static_cast<size_t>(std::max(c.right - c.left - 1, 0)), edge ? '-' : ' '));
            Put(c.right, row, edge ? "+" : "|");
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
        plain.push_back(text[i]);
    }
    return platform::ToUtf8(plain);
}

// A text broken at its line feeds and wrapped at blanks into lines of `width` characters, as a
// static control draws it; a word longer than a line is cut.
std::vector<std::string> Wrapped(const std::string& text, int width) {
    std::vector<std::string> lines;
    std::istringstream paragraphs(text);
    for (std::string paragraph; std::getline(paragraphs, paragraph);) {
        std::string line;
        std::istringstream words(paragraph);
        for (std::string word; words >> word;) {
            if (!line.empty() && static_cast<int>(line.size() + 1 + word.size()) > width) {
                lines.push_back(line);
                line.clear();
            }
            line += (line.empty() ? "" : " ") + word;
        }
        lines.push_back(line);
    }
    return lines;
}

std::string ControlText(const automation::ControlInfo& c) {
    if (platform::EqualsIgnoreCase(c.className, u"Button")) return "[" + Plain(c.text) + "]";
    if (platform::EqualsIgnoreCase(c.className, u"msctls_progress32")) {
        const int width = std::max(CellsOf(c.rect).Width() - 2, 1);
        const int span = std::max(c.high - c.low, 1);
        const int filled = std::clamp((c.position - c.low) * width / span, 0, width);
        return "[" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(width - filled), ' ') + "]";
    }
    if (platform::EqualsIgnoreCase(c.className, u"ComboBox")) {
        const bool chosen = c.selection >= 0 && c.selection < static_cast<int>(c.items.size());
        return "[" + (chosen ? Plain(c.items[static_cast<size_t>(c.selection)]) : std::string()) + " v]";
    }
    return Plain(c.text);
}

void DrawWindow(Grid& grid, const automation::WindowInfo& w) {
    const Cells frame = CellsOf(w.rect);
    grid.Box(frame);
    const Cells inside{frame.left + 1, frame.top + 1, frame.right - 1, frame.bottom - 1};
    std::string buttons = std::string(w.helpButton ? "[?]" : "") + (w.closeBox ? "[X]" : "");
    const int buttonsAt = frame.right - static_cast<int>(buttons.size());
    grid.Put(frame.left + 2, frame.top, " " + Plain(w.title) + " ", Cells{inside.left, frame.top, buttonsAt - 1, frame.top});
    grid.Put(buttonsAt, frame.top, buttons);
    for (const auto& c : automation::Controls(w.window)) {
        if (!c.visible) continue;
        const Cells cells = CellsOf(c.rect);
        const bool button = platform::EqualsIgnoreCase(c.className, u"Button");
        if (platform::EqualsIgnoreCase(c.className, u"Static")) {
            // Lines within the control, as the screen draws them.
            const auto lines = Wrapped(Plain(c.text), cells.Width());
            const Cells clip{cells.left, cells.top, std::min(cells.right, inside.right), std::min(cells.bottom, inside.bottom)};
            for (size_t i = 0; i < lines.size(); ++i) grid.Put(cells.left, cells.top + static_cast<int>(i), lines[i], clip);
        } else {
            // A button's label may use the row up to the window's edge: on the screen it fits
            // its button, in characters it may be wider.
            const Cells clip{cells.left, cells.top, button ? inside.right : std::min(cells.right, inside.right), cells.top};
            grid.Put(cells.left, cells.top, ControlText(c), clip);
        }
        if (c.focused) grid.Put(cells.left - 1, cells.top, ">", inside);
        if (c.dropped) {
            for (size_t i = 0; i < c.items.size(); ++i) {
                grid.Put(cells.left, cells.top + 1 + static_cast<int>(i),
                         (static_cast<int>(i) == c.selection ? "*" : " ") + Plain(c.items[i]),
                         Cells{cells.left, cells.top, cells.right, kRows - 2});
            }
        }
    }
}

// Lines typed by the person, read on a thread of their own so the screen can redraw meanwhile.
class TypedLines {
public:
    static std::shared_ptr<TypedLines> Start(std::istream& in) {
        auto lines = std::make_shared<TypedLines>();
        lines->reader_ = std::thread([lines, &in] {
            for (std::string line; std::getline(in, line);) lines->Push(line);
            lines->Push(std::nullopt);
        });
        return lines;
    }
    // A line, nothing when `wait` passed without one; `ended` once the input is over.
    std::optional<std::string> Take(std::chrono::milliseconds wait, bool& ended) {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, wait, [&] { return !lines_.empty() || over_; });
        ended = lines_.empty() && over_;
        if (lines_.empty()) return std::nullopt;
        std::string line = std::move(lines_.front());
        lines_.pop_front();
        return line;
    }
    // A reader still waiting for a line that will never be needed is left to the process's end.
    void Stop() {
        std::unique_lock lock(mutex_);
        const bool over = over_;
        lock.unlock();
        if (over) {
            reader_.join();
        } else {
            reader_.detach();
        }
    }

private:
    void Push(std::optional<std::string> line) {
        std::lock_guard lock(mutex_);
        if (line) {
            lines_.push_back(std::move(*line));
        } else {
            over_ = true;
        }
        arrived_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::string> lines_;
    bool over_ = false;
    std::thread reader_;
};

constexpr const char* kHelp =
    "Actions, one a line:\n"
    "  press CONTROL      a button of the front window, by its caption (\"Yes to All\") or id\n"
    "  key KEY            Enter Escape Tab Space Up Down Left Right F1 F4, a letter or digit,\n"
    "                     with Alt+ Shift+ Ctrl+ (key Alt+H: the program's help)\n"
    "  close              the front window's close box\n"
    "  snapshot FILE.png  the screen as a picture\n"
    "  help               this list\n"
    "  quit               end the session (Cancel in whatever is shown until the program ends)\n"
    "The screen redraws by itself while it changes; an empty line draws it again.\n";

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
    // On a terminal each picture replaces the last; elsewhere (a log) they follow each other.
    const bool terminal = &out == &std::cout && isatty(STDOUT_FILENO);
    std::vector<std::string> drawn;
    auto draw = [&](bool always) {
        automation::Settle(automation::Limit(200));
        auto screen = TerminalScreen();
        if (!always && screen == drawn) return false;
        drawn = std::move(screen);
        if (terminal) out << "\x1b[H\x1b[2J";
        for (const auto& line : drawn) out << line << "\n";
        return true;
    };
    automation::WaitUntil([&] { return programEnded() || !automation::Windows().empty(); }, automation::Limit(10'000));
    draw(true);
    out << "Type 'help' for the actions.\n> " << std::flush;
    auto typed = TypedLines::Start(in);
    while (!programEnded()) {
        bool inputEnded = false;
        auto line = typed->Take(std::chrono::milliseconds(100), inputEnded);
        if (inputEnded) break;
        if (!line) {
            if (draw(false)) out << "> " << std::flush;
            continue;
        }
        std::istringstream words(*line);
        std::string first;
        words >> first;
        if (first == "quit") break;
        if (first == "help") {
            out << kHelp << "> " << std::flush;
            continue;
        }
        std::string failure;
        if (!first.empty()) {
            // Between two dialogs of the program there is a moment with none on the screen.
            automation::WaitUntil([&] { return programEnded() || !automation::Windows().empty(); },
                                  automation::Limit(2000));
            std::istringstream action(*line);
            std::ostringstream echo;  // the person sees what they typed already
            automation::ScriptLog log(echo);
            auto outcome = automation::RunScript(action, "terminal", log, programEnded);
            if (!outcome.ok) failure = outcome.failure;
        }
        if (programEnded()) break;
        draw(true);
        if (!failure.empty()) out << failure << "\n";
        out << "> " << std::flush;
    }
    typed->Stop();
}

}  // namespace platform::ui
