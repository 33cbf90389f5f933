// textbuf.cpp - bounded copies into fixed text buffers.
#include "base/textbuf.h"

#include <cstring>

std::size_t copy_bounded(char *dst, std::size_t cap, std::string_view src)
{
    if (cap == 0)
        return 0;
    std::size_t n = src.size() < cap - 1 ? src.size() : cap - 1;
    if (n)
        std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
    return n;
}

std::size_t bounded_length(const char *buf, std::size_t cap)
{
    const void *zero = std::memchr(buf, '\0', cap);
    return zero ? static_cast<std::size_t>(static_cast<const char *>(zero) - buf) : cap;
}

bool terminate_read_text(char *buf, std::size_t size, std::size_t cap)
{
    std::size_t length = bounded_length(buf, size < cap ? size : cap);
    if (length >= cap)
        return false;
    buf[length] = '\0';
    return true;
}
