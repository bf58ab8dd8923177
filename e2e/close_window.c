/* Asks a window to close the way a window manager's close button does: sends it
 * a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW.
 *
 * Usage: close_window WINDOW_ID (decimal or 0x hex). Exit status 1, with a
 * line on stderr, when the window does not take part in WM_DELETE_WINDOW. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        fprintf(stderr, "usage: close_window WINDOW_ID\n");
        return 1;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "close_window: cannot open the display\n");
        return 1;
    }
    const Window window = (Window)strtoul(argv[1], NULL, 0);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);

    /* A window that does not list WM_DELETE_WINDOW would be killed, not asked. */
    Atom* listed = NULL;
    int count = 0;
    int found = 0;
    if (XGetWMProtocols(display, window, &listed, &count)) {
        for (int i = 0; i < count; ++i) {
            found |= listed[i] == delete_window;
        }
        XFree(listed);
    }
    if (!found) {
        fprintf(stderr, "close_window: window %s does not list WM_DELETE_WINDOW\n", argv[1]);
        XCloseDisplay(display);
        return 1;
    }

    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)delete_window;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
