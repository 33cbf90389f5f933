// sender.h - the sending side of one messenger connection: session setup, request sequence and reply checks.
#ifndef TOLVIK_MSGSVC_SENDER_H
#define TOLVIK_MSGSVC_SENDER_H

#include "msgsvc/core/bytes.h"
#include "msgsvc/core/nbname.h"
#include "msgsvc/core/session.h"
#include "msgsvc/core/smb.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace msgsvc {

constexpr std::size_t kSegmentSize = 128;  // text bytes per 0xD7 block, and the most 0xD0 carries

enum class SendStyle : uint8_t {
    MultiBlock,       // always 0xD5, 0xD7..., 0xD6: accepted by every receiver without a NEGOTIATE
    SingleWhenShort,  // 0xD0 for texts of at most kSegmentSize bytes, else as MultiBlock
};

struct SendOptions {
    bool session_request = true;  // false on a plain TCP port (no session request)
    NetbiosName called{"", kSuffixMessenger};
    NetbiosName calling{"", kSuffixWorkstation};
    SendStyle style = SendStyle::MultiBlock;
    bool negotiate = false;  // send an "NT LM 0.12" NEGOTIATE first (smbd closes on 0xD0 without one)
    uint16_t pid = 0;
    std::size_t max_frame = kDefaultMaxFrame;  // cap for reply frames
    bool (*lead_byte)(uint8_t) = nullptr;      // the OEM code page's double-byte lead bytes (nullptr: none)
};

enum class SendPhase : uint8_t { Session, Negotiate, Single, Start, Text, End, Done, Failed };

enum class SendFailure : uint8_t {
    None,
    SessionRefused,  // negative session response; session_error holds its byte
    Refused,         // an SMB error reply; reply holds the status
    BadReply,        // malformed or unexpected bytes from the peer
};

struct Sender {
    SendOptions options;
    std::string from, to, text;  // text with line breaks already as CR LF
    SendPhase phase = SendPhase::Session;
    std::size_t offset = 0;  // text bytes sent in 0xD7 blocks
    uint16_t group = 0;
    FrameSplitter splitter;
    SendFailure failure = SendFailure::None;
    uint8_t session_error = 0;
    uint8_t failed_command = 0;  // the command whose reply failed
    SmbReply reply;              // the last SMB reply seen
};

// The part of an OEM name that goes on the wire as From or To: at most kNameBytes bytes, the length of a NetBIOS
// name (so the request's byte count cannot wrap), cut before a double-byte character that would not fit whole.
std::string_view cut_name(std::string_view name, bool (*lead_byte)(uint8_t));

// A sender for one message. from/to/text are OEM bytes; from and to go through cut_name, text through
// crlf_line_breaks. An empty text is sent as one NUL byte (receivers strip trailing NULs).
Sender make_sender(std::string_view from, std::string_view to, std::string_view text, const SendOptions &options);

struct SenderStep {
    std::vector<uint8_t> send;  // bytes to write now (may be empty while waiting)
    bool done = false;          // the message was accepted: close the connection
    bool failed = false;        // see Sender::failure: close the connection
};

// The first bytes to write after connecting.
std::vector<uint8_t> sender_begin(Sender &s);

// Feeds bytes read from the connection; each request is sent only after the previous one's reply, and a
// reply that comes before its request went out is a bad reply. Keepalives are ignored; bytes after done or
// failed are ignored.
SenderStep sender_feed(Sender &s, ByteView in);

// The time limits of one send, in milliseconds of a monotonic clock. A wait for a peer ends at the sooner of its
// step's end (step_ms after the request it waits for went out, or after the look-up began) and the end of the
// whole send; bytes from the peer (keepalives, a reply arriving piecemeal) move neither.
struct SendClock {
    uint64_t end = 0;
    unsigned step_ms = 0;
};
uint64_t step_end(const SendClock &c, uint64_t began);
// Milliseconds from now until `until`; 0 once it has passed.
unsigned ms_left(uint64_t now, uint64_t until);

} // namespace msgsvc

#endif
