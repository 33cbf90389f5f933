// socket.h - Socket: the one owner of a Winsock socket handle. Move-only; the handle is closed when its owner
// ends or takes another.
#ifndef TOLVIK_MSGSVC_SOCKET_H
#define TOLVIK_MSGSVC_SOCKET_H

#include <winsock2.h>

namespace msgsvc {

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

} // namespace msgsvc

#endif
