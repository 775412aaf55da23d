/* Starts a program and reports how long it took until its first top-level window was mapped on the X server.
 *
 *     bench_map_watch PROGRAM [ARGUMENTS...]
 *
 * Prints "PID MILLISECONDS" once a window whose _NET_WM_PID is the program's own is mapped, then exits and leaves
 * the program running (it is detached into its own process group, its standard output goes to /dev/null). The clock starts just before the fork. The
 * root window's substructure events are selected before the program starts, so no map is missed. Exits 1 when
 * nothing was mapped within 60 seconds or the program ended first. */
#define _POSIX_C_SOURCE 200809L

#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

static xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
    xcb_atom_t atom = reply ? reply->atom : XCB_ATOM_NONE;
    free(reply);
    return atom;
}

static long window_pid(xcb_connection_t* c, xcb_window_t window, xcb_atom_t pid_atom)
{
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, pid_atom, XCB_ATOM_CARDINAL, 0, 1), NULL);
    long pid = -1;
    if (reply && xcb_get_property_value_length(reply) == 4) {
        pid = *(const uint32_t*)xcb_get_property_value(reply);
    }
    free(reply);
    return pid;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    int screen_number = 0;
    xcb_connection_t* c = xcb_connect(NULL, &screen_number);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "cannot connect to the X server\n");
        return 2;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screen_number; ++i) {
        xcb_screen_next(&screens);
    }
    const xcb_window_t root = screens.data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t pid_atom = intern(c, "_NET_WM_PID");
    xcb_flush(c);

    const double start = now_ms();
    const pid_t child = fork();
    if (child < 0) {
        perror("fork");
        return 2;
    }
    if (child == 0) {
        /* The program outlives this watcher: its output must not hold the caller's pipe open. */
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            close(null);
        }
        setpgid(0, 0);
        execvp(argv[1], argv + 1);
        perror(argv[1]);
        _exit(127);
    }

    struct pollfd fd = {xcb_get_file_descriptor(c), POLLIN, 0};
    while (now_ms() - start < 60000.0) {
        xcb_generic_event_t* event;
        while ((event = xcb_poll_for_event(c)) != NULL) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const double mapped = now_ms();
                const xcb_map_notify_event_t* map = (const xcb_map_notify_event_t*)event;
                if (!map->override_redirect && window_pid(c, map->window, pid_atom) == child) {
                    printf("%ld %.1f\n", (long)child, mapped - start);
                    fflush(stdout);
                    free(event);
                    xcb_disconnect(c);
                    return 0;
                }
            }
            free(event);
        }
        if (xcb_connection_has_error(c)) {
            break;
        }
        int status;
        if (waitpid(child, &status, WNOHANG) == child) {
            fprintf(stderr, "the program ended before it mapped a window\n");
            return 1;
        }
        poll(&fd, 1, 5);
    }
    fprintf(stderr, "no window of the program was mapped within 60 seconds\n");
    kill(child, SIGTERM);
    return 1;
}
