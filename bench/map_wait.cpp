// Start-up to a window mapped, as the X server sees it: starts PROGRAM and
// waits, without polling, for the server to map a top-level window titled
// TITLE. Polling with a tool started again and again (xwininfo) would cost
// a process start per look and compete with the program being timed.
//
//   map_wait [--timeout-ms N] TITLE PROGRAM [ARGS...]
//
// Prints "mapped_ms=N pid=P" once the window is mapped (N is -1 after the
// timeout), counted from just before PROGRAM is started, then stays until
// PROGRAM ends, passing SIGTERM and SIGINT on to it. PROGRAM's output goes
// to map_wait's standard error.
#include <xcb/xcb.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

pid_t child = 0;

void PassOn(int signal_number) {
  if (child > 0) {
    kill(child, signal_number);
  }
}

// The window's WM_NAME, as bytes; empty when it has none.
std::string WindowName(xcb_connection_t* connection, xcb_window_t window) {
  const xcb_get_property_cookie_t cookie =
      xcb_get_property(connection, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024);
  std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
      xcb_get_property_reply(connection, cookie, nullptr), &std::free);
  if (reply == nullptr) {
    return {};
  }
  const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
  return std::string(bytes, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

// Milliseconds from `start` until the server maps a top-level window named
// `title`; -1 after `timeout_ms`.
double WaitForMap(xcb_connection_t* connection, xcb_window_t root, const std::string& title,
                  Clock::time_point start, int timeout_ms) {
  const Clock::time_point deadline = start + std::chrono::milliseconds(timeout_ms);
  pollfd server{xcb_get_file_descriptor(connection), POLLIN, 0};
  while (Clock::now() < deadline) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
      const Clock::time_point now = Clock::now();
      std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
      if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) {
        continue;
      }
      const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
      if (map->event == root && WindowName(connection, map->window) == title) {
        return std::chrono::duration<double, std::milli>(now - start).count();
      }
    }
    if (xcb_connection_has_error(connection) != 0) {
      return -1;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    poll(&server, 1, static_cast<int>(std::max<long long>(left, 0)));
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  int timeout_ms = 20000;
  int first = 1;
  if (argc > 2 && std::strcmp(argv[1], "--timeout-ms") == 0) {
    timeout_ms = std::atoi(argv[2]);
    first = 3;
  }
  if (argc - first < 2) {
    std::fprintf(stderr, "usage: map_wait [--timeout-ms N] TITLE PROGRAM [ARGS...]\n");
    return 2;
  }
  const std::string title = argv[first];
  char** program = argv + first + 1;

  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection) != 0) {
    std::fprintf(stderr, "map_wait: cannot open the display\n");
    return 1;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  // Told of every window mapped on the root, before the program can map one.
  const std::uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &events);
  // A round trip: the selection is in force before the program starts.
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

  std::signal(SIGTERM, PassOn);
  std::signal(SIGINT, PassOn);
  const Clock::time_point start = Clock::now();
  child = fork();
  if (child < 0) {
    std::perror("map_wait: fork");
    return 1;
  }
  if (child == 0) {
    close(xcb_get_file_descriptor(connection));
    dup2(STDERR_FILENO, STDOUT_FILENO);
    execvp(program[0], program);
    std::perror("map_wait: exec");
    _exit(127);
  }
  const double mapped_ms = WaitForMap(connection, root, title, start, timeout_ms);
  xcb_disconnect(connection);
  std::printf("mapped_ms=%.1f pid=%d\n", mapped_ms, static_cast<int>(child));
  std::fflush(stdout);

  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
