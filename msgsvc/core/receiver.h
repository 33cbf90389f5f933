// receiver.h - the receiving side of one messenger connection: session setup, message reassembly and replies.
#ifndef TOLVIK_MSGSVC_RECEIVER_H
#define TOLVIK_MSGSVC_RECEIVER_H

#include "msgsvc/core/bytes.h"
#include "msgsvc/core/session.h"
#include "msgsvc/core/smb.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace msgsvc {

// Largest message text accepted, raw bytes: room for a 1598-byte text whose line feeds all became CR LF.
constexpr std::size_t kDefaultMaxText = 3200;

struct ReceiverLimits {
    std::size_t max_frame = kDefaultMaxFrame;  // session payload cap; also the MaxBufferSize announced
    std::size_t max_text = kDefaultMaxText;
};

struct ReceivedMessage {
    std::string from;     // as sent (OEM bytes, any case, possibly longer than 15)
    std::string to;       // as sent; matching it against our names is the caller's business
    std::string text;     // raw OEM bytes; see normalize_message_text
    std::string calling;  // calling name of the session request, empty without one
};

enum class AssemblyPhase : uint8_t { Idle, Collecting };

// Message state of one connection: single-block messages, or one start/text.../end sequence at a time.
struct MessageAssembler {
    ReceiverLimits limits;
    AssemblyPhase phase = AssemblyPhase::Idle;
    uint16_t group = 0;
    uint16_t next_group = 1;
    std::string from, to, text;
};

struct AssemblerStep {
    std::vector<uint8_t> reply;              // bare SMB reply; empty together with close
    std::optional<ReceivedMessage> message;  // set when a message is complete; reply is then a success
    SmbHeader request;                       // the header of the packet answered
    bool close = false;                      // the packet cannot be answered: drop the connection
    bool progress = false;                   // a message was started or continued (success reply)
};

MessageAssembler make_assembler(const ReceiverLimits &limits = {});

// Handles one SMB packet (a session message payload).
// - 0xD0 delivers at once; 0xD5 starts a sequence (discarding an unfinished one) and answers WordCount 1 with
//   the group id; 0xD7 appends; 0xD6 delivers. Group ids in 0xD7/0xD6 are not checked.
// - 0xD7/0xD6 outside a sequence: ERRDOS/87. Text beyond limits.max_text: ERRSRV/ERRnoroom, sequence dropped.
// - A malformed message command, or a From or To that is not a valid name (valid_message_name): ERRDOS/87,
//   sequence dropped. NEGOTIATE: see build_negotiate_reply.
//   Other commands: ERRSRV/64.
// - A packet that is not a well-formed SMB1 request (bad header, lying WordCount/ByteCount, reply flag): close.
AssemblerStep assemble_smb(MessageAssembler &a, ByteView smb);

// One accepted TCP connection.
struct ReceiverConn {
    FrameSplitter splitter;
    MessageAssembler assembler;
    bool session_requested = false;
    bool smb_seen = false;
    bool closed = false;
    std::string calling;
};

ReceiverConn make_receiver(const ReceiverLimits &limits = {});

// What becomes of a complete message for one of our names; decided before its reply is written.
enum class Verdict : uint8_t {
    Deliver,  // success reply; the message is handed over
    NoRoom,   // error reply ERRSRV/ERRnoroom: the sender learns that it was not delivered
    Drop,     // no reply: the connection is closed
};

struct ReceiverPolicy {
    // Our names. A session request for any other name, or with another suffix than 0x03, is answered "called
    // name not present" and the connection closed; a message to any other name is dropped (no reply, close).
    // nullptr accepts every name.
    const std::vector<std::string> *names = nullptr;
    // Asked for every complete message to one of our names; empty: Deliver.
    std::function<Verdict(const ReceivedMessage &)> admit;
    // How names are upper-cased when they are compared with ours; nullptr: ASCII letters only.
    const NameCase *name_case = nullptr;
};

struct ReceiverOutput {
    std::vector<uint8_t> send;              // bytes to write back, in order
    std::vector<ReceivedMessage> messages;  // delivered messages, in order
    bool close = false;                     // write `send`, then close the connection
    std::string refused;                    // what a refusal for a name not ours was, for the log; else empty
    bool progress = false;                  // a message was started, continued or decided: more than keepalives
};

// Feeds bytes read from the connection. A session request is optional (plain TCP senders skip it); every
// session request is checked against policy.names, and a malformed one gets negative response 0x82 and close.
// A second session request, one after SMB traffic, an oversize or malformed frame, or a server-only packet
// type: close. Keepalives are ignored. After close, further input is ignored. A message unfinished at close
// is lost.
ReceiverOutput receiver_feed(ReceiverConn &c, ByteView in, const ReceiverPolicy &policy = {});

// Display form of a received text: its line breaks as CR LF (crlf_line_breaks); NUL bytes are removed (trailing
// padding and embedded ones alike); other control characters but TAB become '?'. Other bytes, OEM included, are
// kept.
std::string normalize_message_text(std::string_view raw);

} // namespace msgsvc

#endif
