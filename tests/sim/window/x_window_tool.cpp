// The test's hands and eyes on the X display where the handheld's window is shown:
//   x_window_tool close WINDOW                      asks the window to close, as a window
//                                                   manager's close button does (WM_DELETE_WINDOW)
//   x_window_tool match WINDOW EXPECTED.png SHOT.png
//       takes a screenshot of the whole X screen (written to SHOT.png) and compares the window's
//       part of it, scaled back to the handheld's screen, with the headless picture EXPECTED.png
// Exit: 0 done / the pictures match, 1 they differ, 2 the display or a file cannot be used.
#include <platform/ui/png.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using platform::ui::Surface;

int Fail(const std::string& what) {
    std::fprintf(stderr, "x_window_tool: %s\n", what.c_str());
    return 2;
}

uint32_t Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const unsigned long max = mask >> shift;
    return static_cast<uint32_t>(((pixel & mask) >> shift) * 255 / max);
}

Surface Screenshot(Display* display) {
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, root, &attributes);
    XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) return {};
    Surface shot(attributes.width, attributes.height);
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            shot.At(x, y) = Channel(pixel, image->red_mask) << 16 | Channel(pixel, image->green_mask) << 8 |
                            Channel(pixel, image->blue_mask);
        }
    }
    XDestroyImage(image);
    return shot;
}

int Close(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
}

// Each pixel of the handheld's screen is looked up at the centre of the cell it is scaled to.
int Match(Display* display, Window window, const char* expectedPath, const char* shotPath) {
    std::string error;
    const auto expected = platform::ui::ReadPng(expectedPath, &error);
    if (!expected) return Fail(std::string(expectedPath) + ": " + error);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) return Fail("no such window");
    int left = 0, top = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &left, &top, &child);
    const Surface shot = Screenshot(display);
    if (shot.pixels.empty()) return Fail("cannot read the screen");
    if (auto written = platform::ui::WritePng(shot, shotPath); !written.empty()) return Fail(written);
    const long width = attributes.width, height = attributes.height;
    long differing = 0;
    for (int y = 0; y < expected->height; ++y) {
        for (int x = 0; x < expected->width; ++x) {
            const long sx = left + (2 * x + 1) * width / (2 * expected->width);
            const long sy = top + (2 * y + 1) * height / (2 * expected->height);
            const bool inside = sx >= 0 && sy >= 0 && sx < shot.width && sy < shot.height;
            if (!inside || shot.At(static_cast<int>(sx), static_cast<int>(sy)) != expected->At(x, y)) ++differing;
        }
    }
    std::printf("window %ldx%ld at (%d, %d): %ld of %d pixels differ\n", width, height, left, top, differing,
                expected->width * expected->height);
    return differing == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Fail("usage: x_window_tool close WINDOW | match WINDOW EXPECTED.png SHOT.png");
    Display* display = XOpenDisplay(nullptr);
    if (!display) return Fail("cannot open the display");
    const Window window = std::strtoul(argv[2], nullptr, 0);
    int code = 2;
    if (std::strcmp(argv[1], "close") == 0) {
        code = Close(display, window);
    } else if (std::strcmp(argv[1], "match") == 0 && argc == 5) {
        code = Match(display, window, argv[3], argv[4]);
    } else {
        code = Fail(std::string("unknown command ") + argv[1]);
    }
    XCloseDisplay(display);
    return code;
}
