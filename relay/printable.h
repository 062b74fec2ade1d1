// Bytes from a file, the network or a broker, made safe to print: a
// message that echoes them must not let them drive the terminal.
#pragma once

#include <string>
#include <string_view>

namespace relay {

// `bytes` with printable ASCII (0x20 to 0x7e) kept and every other byte
// (control characters, DEL, bytes of 0x80 and up) written as \xNN.
std::string Printable(std::string_view bytes);

}  // namespace relay
