// smb.h - the SMB1 packets of the message service: header, word/byte areas, message commands, NEGOTIATE, replies.
#ifndef TOLVIK_MSGSVC_SMB_H
#define TOLVIK_MSGSVC_SMB_H

#include "msgsvc/core/bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace msgsvc {

constexpr std::size_t kSmbHeaderSize = 32;

constexpr uint8_t kSmbNegotiate = 0x72;
constexpr uint8_t kSmbSendMessage = 0xD0;  // single block
constexpr uint8_t kSmbSendStart = 0xD5;    // multi-block: start
constexpr uint8_t kSmbSendEnd = 0xD6;      // multi-block: end, the message is complete
constexpr uint8_t kSmbSendText = 0xD7;     // multi-block: one text block

constexpr uint8_t kSmbFlagReply = 0x80;
constexpr uint16_t kSmbFlags2NtStatus = 0x4000;

// DOS error classes and the codes this service uses.
constexpr uint8_t kErrDos = 0x01;
constexpr uint8_t kErrSrv = 0x02;
constexpr uint16_t kErrDosInvalidParameter = 87;  // also: 0xD7/0xD6 without 0xD5
constexpr uint16_t kErrDosNoMessaging = 71;       // server without a message service
constexpr uint16_t kErrSrvUnknownCommand = 64;
constexpr uint16_t kErrSrvPaused = 81;
constexpr uint16_t kErrSrvMessagesOff = 82;
constexpr uint16_t kErrSrvNoRoom = 83;
constexpr uint16_t kErrSrvRemoteUnsupported = 87;
constexpr uint16_t kErrSrvNoResource = 89;

constexpr std::size_t kMaxTextBlock = 1600;   // largest accepted data block (senders use at most 128)
constexpr std::size_t kMaxMessageName = 255;  // largest accepted From/To string

struct SmbHeader {
    uint8_t command = 0;
    uint32_t status = 0;  // DOS form: class | code << 16; NTSTATUS when flags2 has kSmbFlags2NtStatus
    uint8_t flags = 0;
    uint16_t flags2 = 0;
    uint16_t pid_high = 0;
    uint16_t tid = 0;
    uint16_t pid = 0;
    uint16_t uid = 0;
    uint16_t mid = 0;
};

constexpr uint32_t dos_status(uint8_t error_class, uint16_t code)
{
    return error_class | (static_cast<uint32_t>(code) << 16);
}

// A parsed packet; words and bytes point into the parsed buffer. Bytes after the byte area are ignored.
struct SmbPacket {
    SmbHeader header;
    uint8_t word_count = 0;
    ByteView words;  // 2 * word_count bytes
    ByteView bytes;  // ByteCount bytes
};

enum class SmbError : uint8_t {
    None,
    Truncated,           // shorter than header + WordCount
    BadMagic,            // not FF 'S' 'M' 'B'
    WordsBeyondPacket,   // WordCount words or the ByteCount field run past the end
    BytesBeyondPacket,   // ByteCount runs past the end
    WrongWordCount,      // not the WordCount this command has
    WrongBufferFormat,   // a 0x04 / 0x01 / 0x02 format byte is missing or wrong
    MissingTerminator,   // an ASCIIZ string runs to the end of the byte area
    NameTooLong,         // From/To longer than kMaxMessageName
    BlockBeyondBytes,    // a data block length runs past the byte area
    BlockTooLong,        // a data block longer than kMaxTextBlock
    WrongCommand,        // a reply for another command
    NotAReply,           // the reply flag is missing
};

SmbError parse_smb(ByteView packet, SmbPacket &out);

// Header (signature and reserved fields zero), words (raw, even length) and bytes; no session framing.
std::vector<uint8_t> build_smb(const SmbHeader &h, ByteView words, ByteView bytes);

// Requests, as senders send them: every header field zero but the command and the given pid.
struct SingleMessage {
    std::string from, to, text;
};
struct MessageStart {
    std::string from, to;
};
struct MessageText {
    uint16_t group = 0;
    std::string text;
};

// The per-command parsers check the WordCount and the byte area of a packet that parse_smb accepted;
// they do not look at the command byte.
SmbError parse_send_message(const SmbPacket &p, SingleMessage &out);  // 0xD0
SmbError parse_send_start(const SmbPacket &p, MessageStart &out);     // 0xD5
SmbError parse_send_text(const SmbPacket &p, MessageText &out);       // 0xD7
SmbError parse_send_end(const SmbPacket &p, uint16_t &group);         // 0xD6 (a non-empty byte area is ignored)
SmbError parse_negotiate(const SmbPacket &p, std::vector<std::string> &dialects);

std::vector<uint8_t> build_send_message(uint16_t pid, std::string_view from, std::string_view to,
                                        std::string_view text);
std::vector<uint8_t> build_send_start(uint16_t pid, std::string_view from, std::string_view to);
std::vector<uint8_t> build_send_text(uint16_t pid, uint16_t group, std::string_view text);
std::vector<uint8_t> build_send_end(uint16_t pid, uint16_t group);
std::vector<uint8_t> build_negotiate(uint16_t pid, const std::vector<std::string> &dialects);

// The line breaks of a message text as CR LF, the form in which senders put them on the wire and a popup shows
// them: 0x14 (what Windows senders write), CR LF, LF CR, a lone CR and a lone LF each become CR LF. Every other
// byte is kept.
std::string crlf_line_breaks(std::string_view text);

// Replies echo the request's command, TID, PID, PID high, UID and MID and set the reply flag.
// Success: status 0, Flags2 0x4003. Error: DOS status, Flags2 0x0003; WordCount and ByteCount 0.
std::vector<uint8_t> build_success_reply(const SmbHeader &request, ByteView words = {});
std::vector<uint8_t> build_error_reply(const SmbHeader &request, uint8_t error_class, uint16_t code);

constexpr std::string_view kDialectNtLm = "NT LM 0.12";
constexpr std::string_view kDialectCore = "PC NETWORK PROGRAM 1.0";
constexpr uint16_t kNoDialect = 0xFFFF;
// Index of "NT LM 0.12", else of the core dialect, else kNoDialect.
uint16_t choose_dialect(const std::vector<std::string> &dialects);
// The smallest reply that lets message commands follow: NT LM 0.12 (WordCount 17, no security, no capabilities,
// max_buffer as MaxBufferSize), or WordCount 1 with the core dialect index or kNoDialect.
std::vector<uint8_t> build_negotiate_reply(const SmbHeader &request, const std::vector<std::string> &dialects,
                                           uint32_t max_buffer);

// A reply as a sender sees it.
struct SmbReply {
    bool ok = false;         // status zero
    bool nt_status = false;  // status is an NTSTATUS, not DOS class/code
    uint32_t status = 0;
    uint8_t error_class = 0;  // DOS form only
    uint16_t error_code = 0;  // DOS form only
    uint8_t word_count = 0;
    uint16_t first_word = 0;  // 0 when word_count is 0
};
// Parses a reply to `command`. The words and bytes are bounds-checked but their meaning is the caller's.
SmbError parse_reply(ByteView packet, uint8_t command, SmbReply &out);

} // namespace msgsvc

#endif
