// bytes.h - borrowed byte views and the fixed-width integer accessors of the wire formats.
#ifndef TOLVIK_MSGSVC_BYTES_H
#define TOLVIK_MSGSVC_BYTES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace msgsvc {

// A read-only run of bytes owned by someone else; valid only while that buffer lives.
struct ByteView {
    const uint8_t *data = nullptr;
    std::size_t size = 0;

    constexpr ByteView() = default;
    constexpr ByteView(const uint8_t *d, std::size_t n) : data(d), size(n) {}
    ByteView(const std::vector<uint8_t> &v) : data(v.data()), size(v.size()) {}

    constexpr bool empty() const { return size == 0; }
    constexpr uint8_t operator[](std::size_t i) const { return data[i]; }
    // Bytes [pos, pos + n), clipped to the view; empty when pos is past the end.
    constexpr ByteView sub(std::size_t pos, std::size_t n = static_cast<std::size_t>(-1)) const
    {
        if (pos >= size)
            return ByteView(data + size, 0);
        std::size_t rest = size - pos;
        return ByteView(data + pos, n < rest ? n : rest);
    }
    std::string to_string() const { return size ? std::string(reinterpret_cast<const char *>(data), size) : std::string(); }
};

// Views the bytes of a text (OEM bytes held in a std::string).
inline ByteView bytes_of(std::string_view s)
{
    return ByteView(reinterpret_cast<const uint8_t *>(s.data()), s.size());
}

// Readers: the caller has checked that the bytes exist.
inline uint16_t get_be16(const uint8_t *p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint16_t get_le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t get_be32(const uint8_t *p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
inline uint32_t get_le32(const uint8_t *p)
{
    return (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[1]) << 8) | p[0];
}

// Writers append to the end of out.
inline void put_be16(std::vector<uint8_t> &out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}
inline void put_le16(std::vector<uint8_t> &out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put_be32(std::vector<uint8_t> &out, uint32_t v)
{
    put_be16(out, static_cast<uint16_t>(v >> 16));
    put_be16(out, static_cast<uint16_t>(v));
}
inline void put_le32(std::vector<uint8_t> &out, uint32_t v)
{
    put_le16(out, static_cast<uint16_t>(v));
    put_le16(out, static_cast<uint16_t>(v >> 16));
}
inline void put_bytes(std::vector<uint8_t> &out, ByteView b) { out.insert(out.end(), b.data, b.data + b.size); }
inline void put_text(std::vector<uint8_t> &out, std::string_view s) { put_bytes(out, bytes_of(s)); }

} // namespace msgsvc

#endif
