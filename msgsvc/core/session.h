// session.h - NetBIOS session service framing on TCP: packet headers, session setup packets and a stream splitter.
#ifndef TOLVIK_MSGSVC_SESSION_H
#define TOLVIK_MSGSVC_SESSION_H

#include "msgsvc/core/bytes.h"
#include "msgsvc/core/nbname.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace msgsvc {

// Packet types.
constexpr uint8_t kSessionMessage = 0x00;
constexpr uint8_t kSessionRequest = 0x81;
constexpr uint8_t kSessionPositive = 0x82;
constexpr uint8_t kSessionNegative = 0x83;
constexpr uint8_t kSessionRetarget = 0x84;
constexpr uint8_t kSessionKeepalive = 0x85;

// Negative response error bytes.
constexpr uint8_t kSessionNotListeningOnCalled = 0x80;
constexpr uint8_t kSessionNotListeningForCalling = 0x81;
constexpr uint8_t kSessionCalledNotPresent = 0x82;
constexpr uint8_t kSessionInsufficientResources = 0x83;
constexpr uint8_t kSessionUnspecifiedError = 0x8F;

constexpr std::size_t kSessionHeaderSize = 4;
constexpr uint32_t kMaxSessionLength = 0x1FFFF;    // 16 length bits plus the flags' extension bit
constexpr std::size_t kDefaultMaxFrame = 4096;     // payload cap for messenger connections

struct SessionHeader {
    uint8_t type = 0;
    uint32_t length = 0;  // payload bytes after the header
};

// Reads the 4-byte header at the start of in; nullopt when fewer than 4 bytes. Flag bit 0x01 extends the length
// to 17 bits; the other flag bits are ignored.
std::optional<SessionHeader> parse_session_header(ByteView in);

// Whether the type is known and the length is the one that type carries (request 68, positive response and
// keepalive 0, negative response 1, retarget 6; session messages any length).
bool session_header_valid(const SessionHeader &h);

// Appends a header; returns false and appends nothing when length needs more than 17 bits.
bool append_session_header(std::vector<uint8_t> &out, uint8_t type, uint32_t length);

// Complete packets. build_session_message returns an empty vector when the payload exceeds 17 bits of length.
std::vector<uint8_t> build_session_message(ByteView payload);
std::vector<uint8_t> build_session_request(const NetbiosName &called, const NetbiosName &calling);
std::vector<uint8_t> build_positive_response();
std::vector<uint8_t> build_negative_response(uint8_t error);

struct SessionRequest {
    NetbiosName called;
    NetbiosName calling;
};
// Parses a session request payload: exactly two encoded names with empty scopes.
std::optional<SessionRequest> parse_session_request(ByteView payload);
// Parses a negative response payload: its one error byte.
std::optional<uint8_t> parse_negative_response(ByteView payload);

struct SessionFrame {
    uint8_t type = 0;
    std::vector<uint8_t> payload;
};

enum class SplitStatus : uint8_t {
    Ok,
    Oversize,   // a header announced more than the configured maximum payload
    BadHeader,  // unknown type, or a length that type cannot have
};

// Cuts a TCP byte stream into session frames. Holds at most one partial frame (header + max_payload bytes).
struct FrameSplitter {
    std::size_t max_payload = kDefaultMaxFrame;
    uint8_t header[kSessionHeaderSize] = {};
    std::size_t header_have = 0;
    SessionHeader current;
    std::vector<uint8_t> payload;
    SplitStatus status = SplitStatus::Ok;
};

// max_payload is clamped to the 17-bit maximum.
FrameSplitter make_frame_splitter(std::size_t max_payload = kDefaultMaxFrame);

// Consumes in, appending each completed frame to frames. Returns Ok, or the error that stopped it: frames completed
// before the bad header are still appended, and from then on the splitter consumes nothing and keeps returning
// the error; the connection is to be dropped.
SplitStatus split_frames(FrameSplitter &s, ByteView in, std::vector<SessionFrame> &frames);

} // namespace msgsvc

#endif
