// Asks a window to close the way a window manager's close button does: sends it
// a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW.
//
// Usage: close_window WINDOW_ID (decimal or 0x hex). Exit status 1, with a
// line on stderr, when the window does not take part in WM_DELETE_WINDOW.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char* argv[]) {
    Display* display = argc == 2 ? XOpenDisplay(NULL) : NULL;
    if (display == NULL) {
        fprintf(stderr, "usage: close_window WINDOW_ID, on a reachable DISPLAY\n");
        return 1;
    }
    const Window window = (Window)strtoul(argv[1], NULL, 0);
    const Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    // A window that does not list WM_DELETE_WINDOW would be killed, not asked.
    Atom* listed = NULL;
    int count = 0, found = 0;
    if (XGetWMProtocols(display, window, &listed, &count)) {
        for (int i = 0; i < count; ++i) {
            found |= listed[i] == delete_window;
        }
        XFree(listed);
    }
    if (!found) {
        fprintf(stderr, "close_window: window %s does not list WM_DELETE_WINDOW\n", argv[1]);
        return 1;
    }
    XEvent event = {.xclient = {.type = ClientMessage,
                                .window = window,
                                .message_type = XInternAtom(display, "WM_PROTOCOLS", False),
                                .format = 32,
                                .data.l = {(long)delete_window, CurrentTime}}};
    XSendEvent(display, window, False, NoEventMask, &event);
    XCloseDisplay(display); // sends what is queued
    return 0;
}
