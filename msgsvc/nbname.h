// nbname.h - NetBIOS names: 15 padded bytes plus a suffix, and their 34-byte first-level encoded form.
#ifndef TOLVIK_MSGSVC_NBNAME_H
#define TOLVIK_MSGSVC_NBNAME_H

#include "msgsvc/bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace msgsvc {

constexpr std::size_t kNameBytes = 15;        // name bytes before the suffix
constexpr std::size_t kEncodedNameSize = 34;  // 0x20, 32 letters, empty scope
constexpr uint8_t kSuffixWorkstation = 0x00;
constexpr uint8_t kSuffixMessenger = 0x03;
constexpr uint8_t kSuffixServer = 0x20;

using EncodedName = std::array<uint8_t, kEncodedNameSize>;

// A name as the program handles it: OEM bytes without padding, and the suffix byte.
struct NetbiosName {
    std::string name;
    uint8_t suffix = 0;
};
bool operator==(const NetbiosName &a, const NetbiosName &b);

// Encodes name<suffix>. ASCII letters are upper-cased (the caller upper-cases other letters before the OEM
// conversion), the name is cut to 15 bytes and padded with spaces; the lone wildcard "*" is padded with NULs.
EncodedName encode_name(std::string_view name, uint8_t suffix);

// Decodes the encoded name at the start of in (extra bytes after the 34 are not looked at). Fails on fewer than
// 34 bytes, a length byte other than 0x20, a letter outside 'A'..'P' or a non-empty scope. Trailing padding
// (spaces and NULs) is removed from the returned name.
std::optional<NetbiosName> decode_name(ByteView in);

// The form in which names are compared: ASCII upper-cased, cut to 15 bytes, trailing spaces removed.
std::string canonical_name(std::string_view name);

// Whether two names denote the same NetBIOS name (case-insensitive, longer names compared by their first 15 bytes).
bool same_name(std::string_view a, std::string_view b);

} // namespace msgsvc

#endif
