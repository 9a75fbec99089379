/* Watches the virtual screen for the benchmark: waits for a top-level window
 * with an exact name to be mapped, presses keys in it as xdotool's
 * `key --window` does, and prints when each thing happened (CLOCK_MONOTONIC,
 * the clock of Python's time.monotonic), so that no polling interval and no
 * process start of a helper lands inside a measured time.
 *
 *   boxwatch [--timeout SECONDS] STEP...
 *     wait=NAME   until a mapped top-level window is named NAME; it becomes "the window"
 *     key=KEYSYM  a press and release of KEYSYM sent to the window
 *     gone        until the window is unmapped or destroyed
 *     sleep=MS    a pause
 *
 * Prints "ready T" once it is listening, then one line per step:
 * "seen NAME T", "key KEYSYM T", "gone T". Exit status 2 on a timeout. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static Display *dpy;
static Window root;
static double deadline;
static Atom net_wm_name, utf8_string;

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static void say(const char *what, const char *arg) {
    if (arg)
        printf("%s %s %.6f\n", what, arg, now());
    else
        printf("%s %.6f\n", what, now());
    fflush(stdout);
}

/* Windows with BadWindow errors are windows that went meanwhile. */
static int ignore_errors(Display *d, XErrorEvent *e) {
    (void)d;
    (void)e;
    return 0;
}

static int named(Window w, const char *name) {
    int match = 0;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = NULL;
    if (XGetWindowProperty(dpy, w, net_wm_name, 0, 4096, False, utf8_string, &type, &format, &count,
                           &after, &data) == Success && data != NULL) {
        match = type == utf8_string && strcmp((char *)data, name) == 0;
        XFree(data);
        if (match) return 1;
    }
    char *wm_name = NULL;
    if (XFetchName(dpy, w, &wm_name) && wm_name != NULL) {
        match = strcmp(wm_name, name) == 0;
        XFree(wm_name);
    }
    return match;
}

static int viewable(Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable;
}

/* The next event, or 0 when the deadline passes first. */
static int next_event(XEvent *ev) {
    while (!XPending(dpy)) {
        double left = deadline - now();
        if (left <= 0) return 0;
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        if (poll(&p, 1, (int)(left * 1000) + 1) < 0 && errno != EINTR) return 0;
    }
    XNextEvent(dpy, ev);
    return 1;
}

static Window find_mapped(const char *name) {
    Window r, parent, *children = NULL;
    unsigned int n = 0;
    Window found = 0;
    if (XQueryTree(dpy, root, &r, &parent, &children, &n)) {
        for (unsigned int i = 0; i < n && !found; i++)
            if (viewable(children[i]) && named(children[i], name)) found = children[i];
        if (children) XFree(children);
    }
    return found;
}

static Window wait_for(const char *name) {
    Window w = find_mapped(name);
    XEvent ev;
    while (!w) {
        if (!next_event(&ev)) return 0;
        if (ev.type == CreateNotify) {
            /* Named after mapping: the name change is seen too. */
            XSelectInput(dpy, ev.xcreatewindow.window, PropertyChangeMask);
        } else if (ev.type == MapNotify) {
            if (named(ev.xmap.window, name)) w = ev.xmap.window;
        } else if (ev.type == PropertyNotify) {
            if (viewable(ev.xproperty.window) && named(ev.xproperty.window, name)) w = ev.xproperty.window;
        }
    }
    return w;
}

static int wait_gone(Window w) {
    XEvent ev;
    if (!viewable(w)) return 1;
    for (;;) {
        if (!next_event(&ev)) return 0;
        if (ev.type == UnmapNotify && ev.xunmap.window == w) return 1;
        if (ev.type == DestroyNotify && ev.xdestroywindow.window == w) return 1;
    }
}

static void press(Window w, const char *keysym_name) {
    KeySym sym = XStringToKeysym(keysym_name);
    XKeyEvent key;
    memset(&key, 0, sizeof key);
    key.display = dpy;
    key.window = w;
    key.root = root;
    key.subwindow = None;
    key.time = CurrentTime;
    key.x = key.y = key.x_root = key.y_root = 1;
    key.same_screen = True;
    key.keycode = XKeysymToKeycode(dpy, sym);
    key.type = KeyPress;
    XSendEvent(dpy, w, True, KeyPressMask, (XEvent *)&key);
    key.type = KeyRelease;
    XSendEvent(dpy, w, True, KeyReleaseMask, (XEvent *)&key);
    XFlush(dpy);
}

int main(int argc, char **argv) {
    double timeout = 60;
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "--timeout") == 0) {
        timeout = atof(argv[2]);
        first = 3;
    }
    dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "boxwatch: cannot open display\n");
        return 1;
    }
    XSetErrorHandler(ignore_errors);
    root = DefaultRootWindow(dpy);
    net_wm_name = XInternAtom(dpy, "_NET_WM_NAME", False);
    utf8_string = XInternAtom(dpy, "UTF8_STRING", False);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);
    say("ready", NULL);

    deadline = now() + timeout;
    Window w = 0;
    for (int i = first; i < argc; i++) {
        const char *step = argv[i];
        if (strncmp(step, "wait=", 5) == 0) {
            w = wait_for(step + 5);
            if (!w) {
                fprintf(stderr, "boxwatch: no window named '%s' within %.0f s\n", step + 5, timeout);
                return 2;
            }
            say("seen", step + 5);
        } else if (strncmp(step, "key=", 4) == 0 && w) {
            press(w, step + 4);
            say("key", step + 4);
        } else if (strcmp(step, "gone") == 0 && w) {
            if (!wait_gone(w)) {
                fprintf(stderr, "boxwatch: the window stayed past the deadline\n");
                return 2;
            }
            say("gone", NULL);
        } else if (strncmp(step, "sleep=", 6) == 0) {
            struct timespec pause = {atoi(step + 6) / 1000, (atoi(step + 6) % 1000) * 1000000L};
            nanosleep(&pause, NULL);
        } else {
            fprintf(stderr, "boxwatch: cannot do '%s'\n", step);
            return 1;
        }
    }
    XCloseDisplay(dpy);
    return 0;
}
