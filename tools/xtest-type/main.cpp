// xtest-type: synthetic key presses, clicks and mouse input on an X display, step by step.
//   xtest-type [--display :N] [--window-name NAME] STEP...
//   STEP: key KEYSYM | down KEYSYM | up KEYSYM | click X Y | move DX DY | press N | release N
//         | focus-root | where
// Every step is synced with the server before the next, so the order of events is the order given.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int Usage = 2;
constexpr int Failure = 1;
constexpr int MaxTreeDepth = 32;

// Windows may vanish while the tree is searched, and focusing an unmapped window is refused; such
// errors are reported and end the run with a failure instead of killing it inside Xlib.
bool gSearching = false;
bool gXFailed = false;

int onXError(Display* dpy, XErrorEvent* event) {
    if (gSearching) return 0;
    char text[256];
    XGetErrorText(dpy, event->error_code, text, sizeof text);
    std::fprintf(stderr, "xtest-type: X error: %s (request %d)\n", text, event->request_code);
    gXFailed = true;
    return 0;
}

int usage(const char* problem) {
    std::fprintf(stderr,
                 "xtest-type: %s\n"
                 "usage: xtest-type [--display :N] [--window-name NAME] STEP...\n"
                 "  STEP: key KEYSYM | down KEYSYM | up KEYSYM | click X Y | move DX DY | press N | release N\n"
                 "        | focus-root | where\n",
                 problem);
    return Usage;
}

bool viewable(Display* dpy, Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(dpy, window, &attributes) && attributes.map_state == IsViewable;
}

// Depth-first search of the window tree for the first viewable window whose WM_NAME is `name`.
// Toolkits keep unmapped helper windows with the application's name (a 1x1 client leader, for
// one); focusing one of those fails and clicks relative to it land in the wrong place.
Window findWindow(Display* dpy, Window from, const std::string& name, int depth) {
    char* title = nullptr;
    if (XFetchName(dpy, from, &title) && title) {
        const bool match = name == title;
        XFree(title);
        if (match && viewable(dpy, from)) return from;
    }
    if (depth >= MaxTreeDepth) return 0;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, from, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) found = findWindow(dpy, children[i], name, depth + 1);
    if (children) XFree(children);
    return found;
}

bool keyStep(Display* dpy, const char* keysymName, bool press, bool release) {
    const KeySym sym = XStringToKeysym(keysymName);
    if (sym == NoSymbol) {
        std::fprintf(stderr, "xtest-type: unknown keysym \"%s\"\n", keysymName);
        return false;
    }
    const KeyCode code = XKeysymToKeycode(dpy, sym);
    if (code == 0) {
        std::fprintf(stderr, "xtest-type: no keycode for keysym \"%s\" in this keymap\n", keysymName);
        return false;
    }
    if (press) XTestFakeKeyEvent(dpy, code, True, CurrentTime);
    if (release) XTestFakeKeyEvent(dpy, code, False, CurrentTime);
    return true;
}

bool parseCoordinate(const char* text, int& value) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || n < -32768 || n > 32767) return false;
    value = static_cast<int>(n);
    return true;
}

// With a target window, X and Y are relative to it; otherwise to the root window.
void click(Display* dpy, Window target, int x, int y) {
    if (target) {
        Window child = 0;
        XTranslateCoordinates(dpy, target, DefaultRootWindow(dpy), x, y, &x, &y, &child);
    }
    XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
}

// Prints the pointer's position on the root window, "X Y".
void where(Display* dpy) {
    Window root = 0, child = 0;
    int x = 0, y = 0, winX = 0, winY = 0;
    unsigned int mask = 0;
    XQueryPointer(dpy, DefaultRootWindow(dpy), &root, &child, &x, &y, &winX, &winY, &mask);
    std::printf("%d %d\n", x, y);
    std::fflush(stdout);
}

// Steps with two whole numbers: a click at X Y, a relative move by DX DY (raw device counts).
bool pairStep(Display* dpy, Window target, const std::string& step, const char* a, const char* b) {
    int x = 0, y = 0;
    if (!parseCoordinate(a, x) || !parseCoordinate(b, y)) return false;
    if (step == "click") click(dpy, target, x, y);
    else XTestFakeRelativeMotionEvent(dpy, x, y, CurrentTime);
    return true;
}

int runSteps(Display* dpy, Window target, const std::vector<const char*>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::string step = steps[i];
        bool ok = true;
        if (step == "key" || step == "down" || step == "up") {
            if (i + 1 >= steps.size()) return usage("a key step needs a keysym");
            ok = keyStep(dpy, steps[++i], step != "up", step != "down");
        } else if (step == "click" || step == "move") {
            if (i + 2 >= steps.size() || !pairStep(dpy, target, step, steps[i + 1], steps[i + 2]))
                return usage("click and move need two whole numbers");
            i += 2;
        } else if (step == "press" || step == "release") {
            int button = 0;
            if (i + 1 >= steps.size() || !parseCoordinate(steps[++i], button) || button < 1 || button > 255)
                return usage("press and release need a button number from 1 to 255");
            XTestFakeButtonEvent(dpy, static_cast<unsigned int>(button), step == "press", CurrentTime);
        } else if (step == "focus-root") {
            XSetInputFocus(dpy, DefaultRootWindow(dpy), RevertToPointerRoot, CurrentTime);
        } else if (step == "where") {
            where(dpy);
        } else {
            std::string problem = "unknown step \"" + step + "\"";
            return usage(problem.c_str());
        }
        if (!ok) return Failure;
        XSync(dpy, False);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* displayName = nullptr;
    const char* windowName = nullptr;
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
        if (i + 1 >= argc) return usage("an option needs a value");
        if (std::strcmp(argv[i], "--display") == 0) displayName = argv[i + 1];
        else if (std::strcmp(argv[i], "--window-name") == 0) windowName = argv[i + 1];
        else return usage("unknown option");
    }
    if (i >= argc) return usage("no steps given");
    Display* dpy = XOpenDisplay(displayName);
    if (!dpy) {
        std::fprintf(stderr, "xtest-type: cannot open display \"%s\"\n", XDisplayName(displayName));
        return Failure;
    }
    XSetErrorHandler(onXError);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(dpy, &eventBase, &errorBase, &major, &minor)) {
        std::fprintf(stderr, "xtest-type: the display has no XTEST extension\n");
        XCloseDisplay(dpy);
        return Failure;
    }
    Window target = 0;
    if (windowName) {
        gSearching = true;
        target = findWindow(dpy, DefaultRootWindow(dpy), windowName, 0);
        XSync(dpy, False);
        gSearching = false;
        if (!target) {
            std::fprintf(stderr, "xtest-type: no viewable window named \"%s\"\n", windowName);
            XCloseDisplay(dpy);
            return 3;
        }
        XRaiseWindow(dpy, target);
        XSetInputFocus(dpy, target, RevertToParent, CurrentTime);
        XSync(dpy, False);
    }
    const int result = runSteps(dpy, target, std::vector<const char*>(argv + i, argv + argc));
    XCloseDisplay(dpy);
    return result == 0 && gXFailed ? Failure : result;
}
