// The socket handle as the shared state stores it.
#pragma once
#include <cstdint>

namespace orvane {

// An opaque socket value; 0 means "no socket".
using socket_handle = std::uintptr_t;
constexpr socket_handle no_socket = 0;

}  // namespace orvane
