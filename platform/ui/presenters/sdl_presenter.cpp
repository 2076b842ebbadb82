// The screen in an SDL window, scaled 2x. Taps become automation taps at the screen pixel under
// the pointer; keys become key-down and key-up with their modifiers. Alt+letter also makes a
// text event; text events are ignored, characters come from the keys as the window system
// translates them.
#include <platform/ui/automation.h>
#include <platform/ui/paint.h>
#include <platform/ui/presenter.h>

#include <SDL.h>

#include <cstring>
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

void HandleEvent(const SDL_Event& event) {
    if (event.type == SDL_MOUSEBUTTONDOWN && event.button.button == SDL_BUTTON_LEFT) {
        automation::ClickPoint(POINT{event.button.x / kScale, event.button.y / kScale});
    } else if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
        const UINT key = VirtualKey(event.key.keysym.sym);
        if (key == 0) return;
        const uint8_t held = Modifiers(event.key.keysym.mod);
        if (event.type == SDL_KEYDOWN) {
            automation::KeyDown(key, held);
        } else {
            automation::KeyUp(key, held);
        }
    }
}

}  // namespace

std::string RunWindowPresenter(const std::function<bool()>& keepRunning) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return std::string("no video: ") + SDL_GetError();
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
        SDL_Quit();
        return std::string("only the '") + (driver ? driver : "?") +
               "' video driver is available: no window can be shown";
    }
    SDL_Window* window = SDL_CreateWindow("Simulated handheld", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          kScreenWidth * kScale, kScreenHeight * kScale, 0);
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    SDL_Texture* texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                                        SDL_TEXTUREACCESS_STREAMING, kScreenWidth, kScreenHeight)
                                    : nullptr;
    std::string error;
    if (!texture) error = std::string("cannot open the window: ") + SDL_GetError();
    while (error.empty() && keepRunning()) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) {
                // Closing the window is a close request to the front window.
                auto windows = automation::Windows();
                if (!windows.empty()) PostMessage(windows.front().window, WM_CLOSE, 0, 0);
            }
            HandleEvent(event);
        }
        const Surface screen = automation::CaptureScreen();
        SDL_UpdateTexture(texture, nullptr, screen.pixels.data(), kScreenWidth * 4);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
        SDL_Delay(kFrameMs);
    }
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    SDL_Quit();
    return error;
}

}  // namespace platform::ui
