// e2e_mapwatch: how long a program takes from its start to its first window
// on the screen.
//
//   e2e_mapwatch COMMAND...
//
// Watches the root window of $DISPLAY for top-level windows being mapped
// (directly, or the frame that a window manager maps around one), starts
// COMMAND, and prints "shown_ms=N pid=P" at the first such map. COMMAND keeps
// running; the caller ends it by its pid.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: e2e_mapwatch COMMAND...\n");
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "e2e_mapwatch: cannot open the display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t cookie =
        xcb_change_window_attributes_checked(connection, root, XCB_CW_EVENT_MASK, &mask);
    if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
        std::fprintf(stderr, "e2e_mapwatch: cannot watch the root window (error %d)\n", error->error_code);
        return 1;
    }

    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        // The program outlives this watcher: keep it off the caller's pipe.
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_MAP_NOTIFY) {
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (!map->override_redirect) {
                const double ms =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
                std::printf("shown_ms=%.1f pid=%d\n", ms, static_cast<int>(pid));
                std::fflush(stdout);
                free(event);
                xcb_disconnect(connection);
                return 0;
            }
        }
        free(event);
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "e2e_mapwatch: the program ended before showing a window\n");
            return 1;
        }
    }
    std::fprintf(stderr, "e2e_mapwatch: lost the display\n");
    return 1;
}
