// Presenters show the simulated screen to a person and pass their taps and keys on.
#pragma once

#include <functional>
#include <string>

namespace platform::ui {

// Shows the screen in a window, scaled 2x, while `keepRunning()` is true: taps and keys go to
// the window system as a user's input. Gives "" when it ran, else why it could not: no video,
// or only an offscreen video driver (then no window would be seen, so none is pretended).
std::string RunWindowPresenter(const std::function<bool()>& keepRunning);

}  // namespace platform::ui
