// e2e_click: clicks the left button where the pointer is, through the XTEST
// extension, and prints when the X server had taken the (last) press:
//   e2e_click [COUNT]      COUNT presses 80 ms apart (2 makes a double-click)
// Output: pressed_ms=T, T on the monotonic clock in milliseconds, the clock of
// e2e_soundwatch's at_ms. Unlike a figure taken around a whole xdotool run,
// the difference leaves out the clicking tool's own start and end.
#include <sys/uio.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

xcb_extension_t xtest{"XTEST", 0};

struct FakeInput {  // the XTEST FakeInput request, 9 words
    uint8_t major = 0;
    uint8_t minor = 2;
    uint16_t length = 9;
    uint8_t type = 0;
    uint8_t detail = 1;
    uint16_t pad0 = 0;
    uint32_t time = 0;  // CurrentTime
    uint32_t root = 0;  // None: the pointer's screen
    uint8_t pad1[8] = {};
    int16_t rootX = 0, rootY = 0;
    uint8_t pad2[7] = {};
    uint8_t deviceId = 0;
};
static_assert(sizeof(FakeInput) == 36);

void button(xcb_connection_t* c, uint8_t type) {
    FakeInput request;
    request.type = type;
    // xcb_send_request uses the two entries before the request for its own header.
    iovec parts[4] = {{nullptr, 0}, {nullptr, 0}, {&request, sizeof request}, {nullptr, 0}};
    xcb_protocol_request_t protocol{2, &xtest, 2, 1};
    xcb_send_request(c, 0, parts + 2, &protocol);
}

// A round trip: every request before it has been carried out by the server.
void sync(xcb_connection_t* c) { free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }

double nowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "e2e_click: cannot open the display\n");
        return 1;
    }
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xtest);
    if (!extension || !extension->present) {
        std::fprintf(stderr, "e2e_click: the X server has no XTEST\n");
        return 1;
    }
    constexpr uint8_t kPress = 4, kRelease = 5;
    double pressed = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(80));
        button(c, kPress);
        sync(c);
        pressed = nowMs();
        button(c, kRelease);
        sync(c);
    }
    std::printf("pressed_ms=%.3f\n", pressed);
    xcb_disconnect(c);
    return 0;
}
