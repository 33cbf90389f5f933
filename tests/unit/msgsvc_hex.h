// msgsvc_hex.h - byte vectors for the protocol tests, written as hex pairs.
#ifndef TOLVIK_TESTS_MSGSVC_HEX_H
#define TOLVIK_TESTS_MSGSVC_HEX_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Hex pairs; "quoted" text is copied as is; spaces and '|' separate.
inline std::vector<uint8_t> hex(std::string_view s)
{
    std::vector<uint8_t> out;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == ' ' || s[i] == '|') {
            ++i;
        } else if (s[i] == '"') {
            const std::size_t end = s.find('"', i + 1);
            out.insert(out.end(), s.begin() + i + 1, s.begin() + end);
            i = end + 1;
        } else {
            out.push_back(static_cast<uint8_t>(std::stoul(std::string(s.substr(i, 2)), nullptr, 16)));
            i += 2;
        }
    }
    return out;
}

#endif
