// The screen in an SDL window, scaled up. Taps become automation taps at the screen pixel under
// the pointer; keys become key-down and key-up with their modifiers. Alt+letter also makes a
// text event; text events are ignored, characters come from the keys as the window system
// translates them.
#include <platform/ui/automation.h>
#include <platform/ui/paint.h>
#include <platform/ui/presenter.h>

#include <SDL.h>

#include <cstring>
#include <deque>
#include <string>

namespace platform::ui {
namespace {

constexpr int kScale = 2;
constexpr Uint32 kFrameMs = 33;

UINT VirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<UINT>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<UINT>('0' + (key - SDLK_0));
    switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return VK_RETURN;
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_TAB: return VK_TAB;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_BACKSPACE: return VK_BACK;
        case SDLK_UP: return VK_UP;
        case SDLK_DOWN: return VK_DOWN;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_HOME: return VK_HOME;
        case SDLK_END: return VK_END;
        case SDLK_F1: return VK_F1;
        case SDLK_F4: return VK_F4;
        default: return 0;
    }
}

uint8_t Modifiers(Uint16 mod) {
    uint8_t held = automation::kNone;
    if (mod & KMOD_SHIFT) held |= automation::kShift;
    if (mod & KMOD_CTRL) held |= automation::kControl;
    if (mod & KMOD_ALT) held |= automation::kAlt;
    return held;
}

// One tap or key of the person's, in screen pixels.
struct Input {
    enum Kind { kTap, kKeyDown, kKeyUp } kind;
    POINT at{};
    UINT key = 0;
    uint8_t modifiers = automation::kNone;
};

// The window pixel under the pointer, mapped through the window's size as it is now.
POINT ScreenPoint(SDL_Window* window, int x, int y) {
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    if (width <= 0 || height <= 0) return POINT{x / kScale, y / kScale};
    return POINT{static_cast<LONG>(static_cast<long long>(x) * kScreenWidth / width),
                 static_cast<LONG>(static_cast<long long>(y) * kScreenHeight / height)};
}

bool Translate(SDL_Window* window, const SDL_Event& event, Input& input) {
    if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT) {
        input = Input{Input::kTap, ScreenPoint(window, event.button.x, event.button.y)};
        return true;
    }
    if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
        const UINT key = VirtualKey(event.key.keysym.sym);
        if (key == 0) return false;
        input = Input{event.type == SDL_KEYDOWN ? Input::kKeyDown : Input::kKeyUp, {}, key,
                      Modifiers(event.key.keysym.mod)};
        return true;
    }
    return false;
}

void Deliver(const Input& input) {
    switch (input.kind) {
        case Input::kTap: automation::ClickPoint(input.at); break;
        case Input::kKeyDown: automation::KeyDown(input.key, input.modifiers); break;
        case Input::kKeyUp: automation::KeyUp(input.key, input.modifiers); break;
    }
}

bool Closing(const SDL_Event& event) {
    return event.type == SDL_QUIT ||
           (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE);
}

}  // namespace

WindowPresenterOutcome RunWindowPresenter(const std::function<bool()>& keepRunning) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return {std::string("no video: ") + SDL_GetError()};
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
        SDL_Quit();
        return {std::string("only the '") + (driver ? driver : "?") +
                "' video driver is available: no window can be shown"};
    }
    // Pixels stay pixels when the window is scaled.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_Window* window = SDL_CreateWindow("Simulated handheld", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          kScreenWidth * kScale, kScreenHeight * kScale, SDL_WINDOW_HIDDEN);
    // A 640 x 240 picture scaled up needs no graphics driver: software drawing into the
    // window's own surface starts at once and loads no GL library.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
    SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                                        SDL_TEXTUREACCESS_STREAMING, kScreenWidth, kScreenHeight)
                                    : nullptr;
    WindowPresenterOutcome outcome;
    if (!texture) outcome.error = std::string("cannot open the window: ") + SDL_GetError();
    bool shown = false;
    std::deque<Input> waiting;  // input that came while no program window was up
    while (outcome.error.empty() && !outcome.closed && keepRunning()) {
        // Shown with the program's first window already drawn, so the first thing a person
        // sees is something to tap.
        const bool programShows = !automation::Windows().empty();
        if (!shown && programShows) {
            automation::Settle(automation::Limit(500));
            shown = true;
        }
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (Closing(event)) outcome.closed = true;
            Input input;
            if (shown && Translate(window, event, input)) waiting.push_back(input);
        }
        // Between two dialogs there is a moment with none: what the person did then goes to
        // the next one.
        if (!waiting.empty() && !automation::Windows().empty()) {
            for (; !waiting.empty(); waiting.pop_front()) Deliver(waiting.front());
        }
        if (shown) {
            const Surface screen = automation::CaptureScreen();
            SDL_UpdateTexture(texture, nullptr, screen.pixels.data(), kScreenWidth * 4);
            SDL_RenderClear(renderer);
            SDL_RenderCopy(renderer, texture, nullptr, nullptr);
            SDL_RenderPresent(renderer);
            if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN)) SDL_ShowWindow(window);
        }
        SDL_Delay(kFrameMs);
    }
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    SDL_Quit();
    return outcome;
}

}  // namespace platform::ui
