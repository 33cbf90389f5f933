// nbname.h - NetBIOS names: 15 padded bytes plus a suffix, and their 34-byte first-level encoded form.
#ifndef TOLVIK_MSGSVC_NBNAME_H
#define TOLVIK_MSGSVC_NBNAME_H

#include "msgsvc/core/bytes.h"

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

// Encodes name<suffix>. ASCII letters are upper-cased (other letters are the caller's: canonical_name), the name
// is cut to 15 bytes and padded with spaces; the lone wildcard "*" is padded with NULs.
EncodedName encode_name(std::string_view name, uint8_t suffix);

// Decodes the encoded name at the start of in (extra bytes after the 34 are not looked at). Fails on fewer than
// 34 bytes, a length byte other than 0x20, a letter outside 'A'..'P' or a non-empty scope. Trailing padding
// (spaces and NULs) is removed from the returned name.
std::optional<NetbiosName> decode_name(ByteView in);

// How names are upper-cased in the OEM code page they travel in, the way Windows does it: the name is upper-cased
// in Unicode, then converted to that code page. upper[b] is what that makes of the one-byte character b; lead[b]
// marks the lead bytes of double-byte characters, which are kept as they are together with the byte after them.
// The Win32 edge builds it from the system's OEM code page (oem_name_case in config_file.h).
struct NameCase {
    std::array<uint8_t, 256> upper{};
    std::array<bool, 256> lead{};
};

// The case of a code page that is not known: only the ASCII letters a to z have capitals.
const NameCase &ascii_name_case();

// The one form in which names are compared, shown and registered: cut to 15 bytes (never inside a double-byte
// character), upper-cased by `by`, trailing spaces removed. The service and the sender both go through it.
std::string canonical_name(std::string_view name, const NameCase &by);

// Whether two names denote the same NetBIOS name: equal canonical forms.
bool same_name(std::string_view a, std::string_view b, const NameCase &by);

} // namespace msgsvc

#endif
