// Presenters show the simulated screen to a person and pass their taps and keys on.
#pragma once

#include <functional>
#include <string>

namespace platform::ui {

struct WindowPresenterOutcome {
    std::string error;    // why no window could be shown, else ""
    bool closed = false;  // the person closed the window: the session is to end
};

// Shows the screen in a window, scaled 2x at first, while `keepRunning()` is true: taps and
// keys go to the window system as a user's input. The window appears once a program shows its
// first window, so nothing a person does to it is lost on an empty screen; input that arrives
// while no window is up waits for the next one. Taps map through the window's size as it is
// now (a window manager may resize it). Closing the window ends the presenter with `closed`;
// the caller ends the session. `error` when it cannot run: no video, or only an offscreen
// video driver (then no window would be seen, so none is pretended).
WindowPresenterOutcome RunWindowPresenter(const std::function<bool()>& keepRunning);

}  // namespace platform::ui

#include <iosfwd>
#include <vector>

namespace platform::ui {

// The screen drawn in characters (80 x 24, one character per 8 x 10 pixels): window frames with
// their titles, buttons as [text] (the focused one marked >), texts broken and wrapped within
// their controls as the screen draws them, progress bars as [###  ], lists as [choice v], the
// taskbar on the last line. Nothing of a window is drawn outside its frame.
std::vector<std::string> TerminalScreen();

// A keyboard-driven terminal: shows the screen, redrawn by itself whenever it changes (a
// progress bar moving), reads one script action a line from `in`
// (press, key, close, snapshot, ...; see script.h; `help` lists them) and shows the screen
// again, until the input ends, "quit" is read, or `programEnded()`.
void RunTerminalPresenter(const std::function<bool()>& programEnded, std::istream& in, std::ostream& out);

}  // namespace platform::ui
