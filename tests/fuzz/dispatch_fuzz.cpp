// libFuzzer target: arbitrary datagram texts through DispatchRecord with every
// window real, on the offscreen platform. Any crash, sanitizer report or hang
// is a fault.
#include "app/commentator_app.h"
#include "platform/application.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

CommentatorApp* g_app = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: libFuzzer ends the process with exit(), and tearing the
  // toolkit down under live windows is not what is being tested. The data
  // files land in the working directory, relative corpus paths keep working.
  new CommentatorApplication(*argc, *argv);
  SetErrorSink([](const QString& message) {
    std::fprintf(stderr, "reported error: %s\n", qPrintable(message));
    std::abort();  // records never raise errors
  });
  g_app = new CommentatorApp(ListenerPorts{0, 0});
  g_app->ShowMainWindow();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // What the listener hands over: at most 1024 bytes, up to the first zero.
  size = std::min<std::size_t>(size, 1024);
  const char* bytes = reinterpret_cast<const char*>(data);
  g_app->Dispatcher().DispatchRecord(std::string(bytes, strnlen(bytes, size)));
  return 0;
}
