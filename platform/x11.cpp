#include "platform/x11.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

xcb_connection_t* Connection() {
  auto* x11 =
      qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 != nullptr ? x11->connection() : nullptr;
}

// xcb replies are malloc'ed.
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name, bool only_if_exists) {
  const ReplyPtr<xcb_intern_atom_reply_t> reply(
      xcb_intern_atom_reply(connection,
                            xcb_intern_atom(connection, only_if_exists ? 1 : 0,
                                            static_cast<uint16_t>(std::strlen(name)), name),
                            nullptr),
      &std::free);
  return reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

bool WindowManagerRunning() {
  xcb_connection_t* connection = Connection();
  if (connection == nullptr) {
    return false;
  }
  const xcb_atom_t check = Atom(connection, "_NET_SUPPORTING_WM_CHECK", true);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (check == XCB_ATOM_NONE || screen == nullptr) {
    return false;
  }
  const ReplyPtr<xcb_get_property_reply_t> property(
      xcb_get_property_reply(
          connection, xcb_get_property(connection, 0, screen->root, check, XCB_ATOM_WINDOW, 0, 1),
          nullptr),
      &std::free);
  return property != nullptr && xcb_get_property_value_length(property.get()) > 0;
}

QString OtherXScreenDisplay() {
  xcb_connection_t* connection = Connection();
  char* host = nullptr;
  int display = 0;
  int screen = 0;
  if (connection == nullptr || xcb_setup_roots_length(xcb_get_setup(connection)) != 2 ||
      xcb_parse_display(nullptr, &host, &display, &screen) == 0) {
    return {};
  }
  const QString other =
      QStringLiteral("%1:%2.%3").arg(QString::fromLocal8Bit(host)).arg(display).arg(1 - screen);
  std::free(host);
  return other;
}

void AllowMaximiseWithoutButtons(QWidget* window) {
  xcb_connection_t* connection = Connection();
  if (connection == nullptr) {
    return;
  }
  const xcb_atom_t hints_atom = Atom(connection, "_MOTIF_WM_HINTS", false);
  if (hints_atom == XCB_ATOM_NONE) {
    return;
  }
  // Flags, functions, decorations, input mode, status.
  enum : uint32_t { kFunctions = 1, kDecorations = 2 };
  enum : uint32_t { kResize = 2, kMove = 4, kMaximise = 16 };
  enum : uint32_t { kBorder = 2, kResizeHandles = 4, kTitle = 8 };
  const uint32_t hints[5] = {kFunctions | kDecorations, kResize | kMove | kMaximise,
                             kBorder | kResizeHandles | kTitle, 0, 0};
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()),
                      hints_atom, hints_atom, 32, 5, hints);
  xcb_flush(connection);
}
