// net_status.h - the status codes of NetMessageBufferSend that Tolvik tells apart, named once for the
// message service's sender (netapi32.dll), which answers them, and Tolvik's send texts, which are keyed
// by them.
#ifndef TOLVIK_NET_STATUS_H
#define TOLVIK_NET_STATUS_H

#include <cstdint>

namespace net_status {

constexpr std::uint32_t kSent = 0;              // NERR_Success
constexpr std::uint32_t kAccessDenied = 5;      // ERROR_ACCESS_DENIED
constexpr std::uint32_t kNotSupported = 50;     // ERROR_NOT_SUPPORTED
constexpr std::uint32_t kInvalidParameter = 87; // ERROR_INVALID_PARAMETER
constexpr std::uint32_t kNetworkError = 2136;   // NERR_NetworkError
constexpr std::uint32_t kNameNotFound = 2273;   // NERR_NameNotFound

} // namespace net_status

#endif
