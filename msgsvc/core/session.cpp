// session.cpp - NetBIOS session service packets and the stream splitter.
#include "msgsvc/core/session.h"

namespace msgsvc {

std::optional<SessionHeader> parse_session_header(ByteView in)
{
    if (in.size < kSessionHeaderSize)
        return std::nullopt;
    SessionHeader h;
    h.type = in[0];
    h.length = (static_cast<uint32_t>(in[1] & 0x01) << 16) | get_be16(in.data + 2);
    return h;
}

bool session_header_valid(const SessionHeader &h)
{
    switch (h.type) {
    case kSessionMessage: return true;
    case kSessionRequest: return h.length == 2 * kEncodedNameSize;
    case kSessionPositive: return h.length == 0;
    case kSessionNegative: return h.length == 1;
    case kSessionRetarget: return h.length == 6;
    case kSessionKeepalive: return h.length == 0;
    default: return false;
    }
}

bool append_session_header(std::vector<uint8_t> &out, uint8_t type, uint32_t length)
{
    if (length > kMaxSessionLength)
        return false;
    out.push_back(type);
    out.push_back(static_cast<uint8_t>(length >> 16));
    put_be16(out, static_cast<uint16_t>(length));
    return true;
}

std::vector<uint8_t> build_session_message(ByteView payload)
{
    std::vector<uint8_t> out;
    if (payload.size > kMaxSessionLength)
        return out;
    append_session_header(out, kSessionMessage, static_cast<uint32_t>(payload.size));
    put_bytes(out, payload);
    return out;
}

std::vector<uint8_t> build_session_request(const NetbiosName &called, const NetbiosName &calling)
{
    std::vector<uint8_t> out;
    append_session_header(out, kSessionRequest, 2 * kEncodedNameSize);
    const EncodedName a = encode_name(called.name, called.suffix);
    const EncodedName b = encode_name(calling.name, calling.suffix);
    out.insert(out.end(), a.begin(), a.end());
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

std::vector<uint8_t> build_positive_response()
{
    std::vector<uint8_t> out;
    append_session_header(out, kSessionPositive, 0);
    return out;
}

std::vector<uint8_t> build_negative_response(uint8_t error)
{
    std::vector<uint8_t> out;
    append_session_header(out, kSessionNegative, 1);
    out.push_back(error);
    return out;
}

std::optional<SessionRequest> parse_session_request(ByteView payload)
{
    if (payload.size != 2 * kEncodedNameSize)
        return std::nullopt;
    auto called = decode_name(payload.sub(0, kEncodedNameSize));
    auto calling = decode_name(payload.sub(kEncodedNameSize));
    if (!called || !calling)
        return std::nullopt;
    return SessionRequest{*called, *calling};
}

std::optional<uint8_t> parse_negative_response(ByteView payload)
{
    if (payload.size != 1)
        return std::nullopt;
    return payload[0];
}

FrameSplitter make_frame_splitter(std::size_t max_payload)
{
    FrameSplitter s;
    s.max_payload = max_payload < kMaxSessionLength ? max_payload : kMaxSessionLength;
    return s;
}

SplitStatus split_frames(FrameSplitter &s, ByteView in, std::vector<SessionFrame> &frames)
{
    std::size_t pos = 0;
    while (s.status == SplitStatus::Ok && pos < in.size) {
        if (s.header_have < kSessionHeaderSize) {
            while (s.header_have < kSessionHeaderSize && pos < in.size)
                s.header[s.header_have++] = in[pos++];
            if (s.header_have < kSessionHeaderSize)
                break;
            s.current = *parse_session_header(ByteView(s.header, kSessionHeaderSize));
            if (!session_header_valid(s.current)) {
                s.status = SplitStatus::BadHeader;
                break;
            }
            if (s.current.length > s.max_payload) {
                s.status = SplitStatus::Oversize;
                break;
            }
            s.payload.clear();
            s.payload.reserve(s.current.length);
        }
        const std::size_t want = s.current.length - s.payload.size();
        const std::size_t take = want < in.size - pos ? want : in.size - pos;
        s.payload.insert(s.payload.end(), in.data + pos, in.data + pos + take);
        pos += take;
        if (s.payload.size() == s.current.length) {
            frames.push_back(SessionFrame{s.current.type, std::move(s.payload)});
            s.payload = {};
            s.header_have = 0;
        }
    }
    return s.status;
}

} // namespace msgsvc
