// socket.h - Socket, the one owner of a Winsock socket handle, and the small Winsock helpers of the service
// and the sending DLL.
#ifndef TOLVIK_MSGSVC_SOCKET_H
#define TOLVIK_MSGSVC_SOCKET_H

#include "msgsvc/win/win32.h"

#include <cstdint>
#include <optional>
#include <string>

namespace msgsvc {

// The owner of a socket handle. Move-only; the handle is closed when its owner ends or takes another.
class Socket {
public:
    Socket() = default;
    explicit Socket(SOCKET s) : s_(s) {}
    Socket(Socket &&other) noexcept : s_(other.release()) {}
    Socket &operator=(Socket &&other) noexcept
    {
        reset(other.release());
        return *this;
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    ~Socket() { reset(); }

    SOCKET get() const { return s_; }
    explicit operator bool() const { return s_ != INVALID_SOCKET; }
    SOCKET release()
    {
        const SOCKET s = s_;
        s_ = INVALID_SOCKET;
        return s;
    }
    void reset(SOCKET s = INVALID_SOCKET)
    {
        if (s_ != INVALID_SOCKET && s_ != s)
            closesocket(s_);
        s_ = s;
    }

private:
    SOCKET s_ = INVALID_SOCKET;
};

// "a.b.c.d" of a host-order address.
std::string ip_text(uint32_t ipv4);

sockaddr_in make_sockaddr(uint32_t ipv4, uint16_t port);
void set_nonblocking(SOCKET s, bool on);
// Waits at most ms until s is readable (or writable). Failed: select put it in the except set, as Windows
// does with a connect that failed.
enum class Readiness : uint8_t { Ready, Failed, TimedOut };
Readiness socket_readiness(SOCKET s, bool write, unsigned ms);
// The same; true when s is ready.
bool wait_socket(SOCKET s, bool write, unsigned ms);

// A transaction id from the system's random source, so that a forged answer has to guess it; nullopt when the
// source fails.
std::optional<uint16_t> random_id();

} // namespace msgsvc

#endif
