// Fuzz target: hostile TCP bytes against the message receiver and sender state machines.
//   Byte 0 bit 0 clear: the rest is a raw TCP stream, fed in varying chunk sizes.
//   Byte 0 bit 0 set:   the rest is a list of SMB packets, each prefixed by a 16-bit little-endian length and
//                       sent in a session message of its own (reaches the deep reassembly states quickly).
// Bit 1 picks the sender's style (single block plus NEGOTIATE, or multi-block with a session request); the other
// bits its text length.
#include "msgsvc/core/receiver.h"
#include "msgsvc/core/sender.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace msgsvc;

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

// Every byte the code under test writes must be whole session frames.
std::vector<SessionFrame> frames_of(const std::vector<uint8_t> &stream)
{
    FrameSplitter s = make_frame_splitter(kMaxSessionLength);
    std::vector<SessionFrame> frames;
    require(split_frames(s, stream, frames) == SplitStatus::Ok);
    require(s.header_have == 0);
    return frames;
}

void check_receiver_output(const std::vector<uint8_t> &sent)
{
    for (const SessionFrame &f : frames_of(sent)) {
        if (f.type != kSessionMessage) {
            require(f.type == kSessionPositive || f.type == kSessionNegative);
            continue;
        }
        SmbPacket p;
        require(parse_smb(f.payload, p) == SmbError::None);
        require(p.header.flags & kSmbFlagReply);
    }
}

void check_sender_output(const std::vector<uint8_t> &sent)
{
    for (const SessionFrame &f : frames_of(sent)) {
        if (f.type == kSessionRequest) {
            require(parse_session_request(f.payload).has_value());
            continue;
        }
        require(f.type == kSessionMessage);
        SmbPacket p;
        require(parse_smb(f.payload, p) == SmbError::None);
        SmbError e = SmbError::None;
        switch (p.header.command) {
        case kSmbSendMessage: { SingleMessage m; e = parse_send_message(p, m); require(m.text.size() <= kSegmentSize); break; }
        case kSmbSendStart: { MessageStart m; e = parse_send_start(p, m); break; }
        case kSmbSendText: { MessageText m; e = parse_send_text(p, m); require(m.text.size() <= kSegmentSize); break; }
        case kSmbSendEnd: { uint16_t g; e = parse_send_end(p, g); break; }
        case kSmbNegotiate: { std::vector<std::string> d; e = parse_negotiate(p, d); break; }
        default: require(false);
        }
        require(e == SmbError::None);
    }
}

void check_text(const std::string &raw)
{
    const std::string t = normalize_message_text(raw);
    for (std::size_t i = 0; i < t.size(); ++i) {
        require(t[i] != '\0' && t[i] != '\x14');
        if (t[i] == '\r')
            require(i + 1 < t.size() && t[i + 1] == '\n');
        if (t[i] == '\n')
            require(i > 0 && t[i - 1] == '\r');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size < 1 || size > 65536)
        return 0;
    const uint8_t mode = data[0];
    const ByteView in(data + 1, size - 1);

    // Cut the input into the pieces handed to the peers.
    std::vector<std::vector<uint8_t>> pieces;
    if (mode & 1) {
        for (std::size_t pos = 0; pos + 2 <= in.size;) {
            const std::size_t len = get_le16(in.data + pos);
            const ByteView smb = in.sub(pos + 2, len);
            pieces.push_back(build_session_message(smb));
            pos += 2 + smb.size;
        }
    } else {
        for (std::size_t pos = 0, n = 1; pos < in.size; pos += n, n = n * 7 % 61 + 1)
            pieces.emplace_back(in.data + pos, in.data + pos + (n < in.size - pos ? n : in.size - pos));
    }

    ReceiverLimits limits;
    limits.max_text = 2000;
    ReceiverConn r = make_receiver(limits);
    std::vector<uint8_t> sent;
    bool closed = false;
    for (const auto &piece : pieces) {
        const ReceiverOutput out = receiver_feed(r, piece);
        require(!closed || (out.send.empty() && out.messages.empty() && out.close));
        for (const ReceivedMessage &m : out.messages) {
            require(m.text.size() <= limits.max_text);
            require(m.from.size() <= kMaxMessageName && m.to.size() <= kMaxMessageName);
            check_text(m.text);
        }
        sent.insert(sent.end(), out.send.begin(), out.send.end());
        closed = closed || out.close;
    }
    check_receiver_output(sent);

    SendOptions o;
    o.called = {"PEER", kSuffixMessenger};
    o.calling = {"ME", kSuffixWorkstation};
    o.style = (mode & 2) ? SendStyle::SingleWhenShort : SendStyle::MultiBlock;
    o.negotiate = (mode & 2) != 0;
    o.session_request = (mode & 2) == 0;
    Sender s = make_sender("me", "PEER", std::string((mode >> 2) * 5u, 'x'), o);
    std::vector<uint8_t> requests = sender_begin(s);
    bool finished = false;
    for (const auto &piece : pieces) {
        const SenderStep step = sender_feed(s, piece);
        require(!(step.done && step.failed));
        require(!finished || step.send.empty());
        require(!step.failed || s.failure != SendFailure::None);
        requests.insert(requests.end(), step.send.begin(), step.send.end());
        finished = finished || step.done || step.failed;
    }
    check_sender_output(requests);
    return 0;
}
