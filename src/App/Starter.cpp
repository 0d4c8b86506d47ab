// The command a desktop shortcut runs ("quiver --toggle"). Loading the launcher's Qt stack to
// hand one message to the running instance would cost tens of milliseconds and megabytes on
// every press, so this small program speaks the instance's socket protocol itself and only
// starts the launcher when no instance answers. Without arguments, or with any it does not
// handle, it starts the launcher with the command line unchanged.
//
// The running instance needs proof of the user's action to take the focus from the window the
// user typed in a moment ago: the caller's startup identifier or activation token when the
// desktop gave one, and always the X server's current time, which window managers compare
// with the other window's last input.
//
// Every wait has a deadline: an instance that is stopped (its queue of connections full) or an
// X server that is must not hold the desktop's shortcut for ever.
#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include <limits.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "HandOver.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds handOverTimeout{5000};
constexpr int serverTimeoutMs = 1000;
// The instance listens but takes no connection: stopped, or hung.
constexpr int noAnswer = -2;

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

int remainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

// Waits for events on fd until the deadline; false when it passed first.
bool await(int fd, short events, Clock::time_point deadline)
{
    pollfd ready{fd, events, 0};
    int result;
    while ((result = poll(&ready, 1, remainingMs(deadline))) < 0 && errno == EINTR) {
    }
    return result == 1;
}

// A connection to the instance of this user: -1 when none listens, noAnswer when one does but
// takes no connection before the deadline.
int connectToInstance(Clock::time_point deadline)
{
    const std::string folder = HandOver::folder("Quiver", false);
    const std::string path = folder + "/socket";
    sockaddr_un address{};
    if (folder.empty() || path.size() >= sizeof address.sun_path)
        return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    // A full queue refuses a connection that does not block (EAGAIN) rather than making it
    // wait; an instance that is only busy takes it on a later try.
    while (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EAGAIN || Clock::now() >= deadline) {
            close(fd);
            return error == EAGAIN ? noAnswer : -1;
        }
        poll(nullptr, 0, 20);
    }
    // Only the user's own instance hears the command and the startup identifier.
    if (!HandOver::isSameUser(fd)) {
        close(fd);
        return -1;
    }
    return fd;
}

// The X server's time now: the time stamp of a property change on a window of our own.
uint32_t askServerTime()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    uint32_t time = 0;
    if (!xcb_connection_has_error(connection)) {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        const xcb_window_t window = xcb_generate_id(connection);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
        xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME,
                            XCB_ATOM_STRING, 8, 0, nullptr);
        xcb_flush(connection);
        pollfd server{xcb_get_file_descriptor(connection), POLLIN, 0};
        while (!time && !xcb_connection_has_error(connection)) {
            xcb_generic_event_t *event = xcb_poll_for_event(connection);
            if (!event) {
                if (poll(&server, 1, serverTimeoutMs) <= 0)
                    break;
                continue;
            }
            if ((event->response_type & ~0x80) == XCB_PROPERTY_NOTIFY)
                time = reinterpret_cast<xcb_property_notify_event_t *>(event)->time;
            std::free(event);
        }
    }
    xcb_disconnect(connection);
    return time;
}

// A server that does not answer within a second leaves the time unknown. xcb_connect itself
// has no time-out, so it runs on a thread of its own, left behind when it overruns.
uint32_t serverTime()
{
    if (environment("DISPLAY").empty())
        return 0;
    const auto answer = std::make_shared<std::promise<uint32_t>>();
    std::future<uint32_t> time = answer->get_future();
    std::thread([answer] { answer->set_value(askServerTime()); }).detach();
    return time.wait_for(std::chrono::milliseconds(serverTimeoutMs)) == std::future_status::ready
               ? time.get()
               : 0;
}

// UTF-8 to the UTF-16 big-endian units of a serialised QString; invalid bytes become U+FFFD.
std::string utf16BigEndian(const std::string &text)
{
    std::string units;
    const auto put = [&units](uint32_t unit) {
        units.push_back(char(unit >> 8));
        units.push_back(char(unit & 0xff));
    };
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int length = byte < 0x80         ? 1
                           : (byte >> 5) == 6  ? 2
                           : (byte >> 4) == 14 ? 3
                           : (byte >> 3) == 30 ? 4
                                               : 0;
        uint32_t code = length == 1   ? byte
                        : length == 2 ? byte & 0x1f
                        : length == 3 ? byte & 0x0f
                                      : byte & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xc0) == 0x80;
            code = (code << 6) | (next & 0x3f);
        }
        if (!valid || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
            put(0xfffd);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            put(0xd800 + (code >> 10));
            put(0xdc00 + (code & 0x3ff));
        } else {
            put(code);
        }
        i += length;
    }
    return units;
}

bool writeAll(int fd, const std::string &data, Clock::time_point deadline)
{
    for (size_t done = 0; done < data.size();) {
        // An instance that dropped the connection is an error, not a SIGPIPE.
        const ssize_t written = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (written < 0 && (errno == EINTR || (errno == EAGAIN && await(fd, POLLOUT, deadline))))
            continue;
        if (written <= 0)
            return false;
        done += size_t(written);
    }
    return true;
}

// Hands the command over as the launcher's own second start would: a QDataStream'd QString,
// answered by one acknowledgement byte.
bool handOver(int fd, const std::string &command, Clock::time_point deadline)
{
    std::string token = environment("DESKTOP_STARTUP_ID");
    if (token.empty())
        token = environment("XDG_ACTIVATION_TOKEN");
    const std::string units =
        utf16BigEndian(command + "\n" + token + "\n" + std::to_string(serverTime()));
    const auto length = uint32_t(units.size());
    const char header[] = {char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
    if (!writeAll(fd, std::string(header, 4) + units, deadline))
        return false;
    char byte = 0;
    return await(fd, POLLIN, deadline) && read(fd, &byte, 1) == 1 &&
           byte == HandOver::acknowledgement;
}

// The launcher beside this starter, started in its own folder: it finds "../data" from there.
// A starter with no launcher beside it is the package's, which prepares the user's folder.
[[noreturn]] void startLauncher(char **argv)
{
    char self[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = length > 0 ? std::string(self, size_t(length)) : std::string();
    folder = folder.substr(0, folder.rfind('/'));
    if (!folder.empty() && access((folder + "/Quiver").c_str(), X_OK) == 0 &&
        chdir(folder.c_str()) == 0) {
        argv[0] = const_cast<char *>("./Quiver");
        execv("./Quiver", argv);
    }
#ifdef QUIVER_USER_STARTER
    argv[0] = const_cast<char *>(QUIVER_USER_STARTER);
    execv(QUIVER_USER_STARTER, argv);
#endif
    // Nothing left to start (the package removed, the install taken away): an autostart entry
    // or a shortcut left behind ends quietly, and only a terminal hears why.
    const int error = errno;
    if (!isatty(STDERR_FILENO))
        std::exit(0);
    std::fprintf(stderr, "quiver: 找不到 Quiver 程序 (%s)\n", std::strerror(error));
    std::exit(127);
}
} // namespace

int main(int argc, char **argv)
{
    static const char *const commands[] = {"toggle", "show", "hide", "quit"};
    if (argc == 2 && std::strncmp(argv[1], "--", 2) == 0) {
        for (const char *command : commands) {
            if (std::strcmp(argv[1] + 2, command) != 0)
                continue;
            const Clock::time_point deadline = Clock::now() + handOverTimeout;
            const int fd = connectToInstance(deadline);
            if (fd == -1)
                break; // none listening, or one still starting: the launcher sorts it out
            const bool delivered = fd != noAnswer && handOver(fd, command, deadline);
            if (fd != noAnswer)
                close(fd);
            if (!delivered)
                std::fputs("quiver: 正在运行的 Quiver 没有应答\n", stderr);
            return delivered ? 0 : 1;
        }
    }
    startLauncher(argv);
}
