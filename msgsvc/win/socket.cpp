// socket.cpp - small Winsock helpers and the random transaction ids.
#include "msgsvc/win/socket.h"

#include <ntsecapi.h>

#include <cstdio>

namespace msgsvc {

std::string ip_text(uint32_t ipv4)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", ipv4 >> 24, (ipv4 >> 16) & 255, (ipv4 >> 8) & 255, ipv4 & 255);
    return buf;
}

sockaddr_in make_sockaddr(uint32_t ipv4, uint16_t port)
{
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(ipv4);
    a.sin_port = htons(port);
    return a;
}

void set_nonblocking(SOCKET s, bool on)
{
    u_long v = on ? 1 : 0;
    ioctlsocket(s, FIONBIO, &v);
}

Readiness socket_readiness(SOCKET s, bool write, unsigned ms)
{
    fd_set set, err;
    FD_ZERO(&set);
    FD_ZERO(&err);
    FD_SET(s, &set);
    FD_SET(s, &err);
    timeval tv;
    tv.tv_sec = static_cast<long>(ms / 1000);
    tv.tv_usec = static_cast<long>((ms % 1000) * 1000);
    const int r = select(0, write ? nullptr : &set, write ? &set : nullptr, &err, &tv);
    if (r > 0 && FD_ISSET(s, &set))
        return Readiness::Ready;
    return r > 0 && FD_ISSET(s, &err) ? Readiness::Failed : Readiness::TimedOut;
}

bool wait_socket(SOCKET s, bool write, unsigned ms) { return socket_readiness(s, write, ms) == Readiness::Ready; }

std::optional<uint16_t> random_id()
{
    uint16_t id = 0;
    if (!RtlGenRandom(&id, sizeof id))
        return std::nullopt;
    return id;
}

} // namespace msgsvc
