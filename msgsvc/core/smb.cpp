// smb.cpp - SMB1 message service packets.
#include "msgsvc/core/smb.h"

namespace msgsvc {

namespace {

constexpr uint8_t kMagic[4] = {0xFF, 'S', 'M', 'B'};
constexpr uint8_t kFormatDataBlock = 0x01;
constexpr uint8_t kFormatDialect = 0x02;
constexpr uint8_t kFormatAsciiz = 0x04;
constexpr uint16_t kFlags2Success = 0x4003;
constexpr uint16_t kFlags2DosError = 0x0003;

// Walks a byte area; every read is bounds-checked and a failed read leaves the position unchanged.
struct Cursor {
    ByteView in;
    std::size_t pos = 0;

    std::size_t left() const { return in.size - pos; }

    bool expect(uint8_t format)
    {
        if (left() < 1 || in[pos] != format)
            return false;
        ++pos;
        return true;
    }
    SmbError asciiz(std::string &out, std::size_t cap)
    {
        std::size_t end = pos;
        while (end < in.size && in[end] != 0)
            ++end;
        if (end == in.size)
            return SmbError::MissingTerminator;
        if (end - pos > cap)
            return SmbError::NameTooLong;
        out = in.sub(pos, end - pos).to_string();
        pos = end + 1;
        return SmbError::None;
    }
};

SmbError read_name(Cursor &c, std::string &out)
{
    if (!c.expect(kFormatAsciiz))
        return SmbError::WrongBufferFormat;
    return c.asciiz(out, kMaxMessageName);
}

SmbError read_block(Cursor &c, std::string &out)
{
    if (!c.expect(kFormatDataBlock))
        return SmbError::WrongBufferFormat;
    if (c.left() < 2)
        return SmbError::BlockBeyondBytes;
    const std::size_t len = get_le16(c.in.data + c.pos);
    if (len > c.left() - 2)
        return SmbError::BlockBeyondBytes;
    if (len > kMaxTextBlock)
        return SmbError::BlockTooLong;
    out = c.in.sub(c.pos + 2, len).to_string();
    c.pos += 2 + len;
    return SmbError::None;
}

SmbHeader request_header(uint8_t command, uint16_t pid)
{
    SmbHeader h;
    h.command = command;
    h.pid = pid;
    return h;
}

SmbHeader reply_header(const SmbHeader &request)
{
    SmbHeader h = request;
    h.status = 0;
    h.flags = kSmbFlagReply;
    h.flags2 = kFlags2Success;
    return h;
}

std::vector<uint8_t> words_of(uint16_t w)
{
    std::vector<uint8_t> out;
    put_le16(out, w);
    return out;
}

void put_name(std::vector<uint8_t> &bytes, std::string_view name)
{
    bytes.push_back(kFormatAsciiz);
    put_text(bytes, name);
    bytes.push_back(0);
}

void put_block(std::vector<uint8_t> &bytes, std::string_view text)
{
    bytes.push_back(kFormatDataBlock);
    put_le16(bytes, static_cast<uint16_t>(text.size()));
    put_text(bytes, text);
}

} // namespace

SmbError parse_smb(ByteView packet, SmbPacket &out)
{
    if (packet.size < kSmbHeaderSize + 1)
        return SmbError::Truncated;
    for (std::size_t i = 0; i < 4; ++i)
        if (packet[i] != kMagic[i])
            return SmbError::BadMagic;
    const uint8_t *p = packet.data;
    SmbHeader h;
    h.command = p[4];
    h.status = get_le32(p + 5);
    h.flags = p[9];
    h.flags2 = get_le16(p + 10);
    h.pid_high = get_le16(p + 12);
    h.tid = get_le16(p + 24);
    h.pid = get_le16(p + 26);
    h.uid = get_le16(p + 28);
    h.mid = get_le16(p + 30);

    const uint8_t wc = p[kSmbHeaderSize];
    const std::size_t words_at = kSmbHeaderSize + 1;
    const std::size_t count_at = words_at + 2u * wc;
    if (count_at + 2 > packet.size)
        return SmbError::WordsBeyondPacket;
    const std::size_t bc = get_le16(p + count_at);
    if (bc > packet.size - count_at - 2)
        return SmbError::BytesBeyondPacket;

    out.header = h;
    out.word_count = wc;
    out.words = packet.sub(words_at, 2u * wc);
    out.bytes = packet.sub(count_at + 2, bc);
    return SmbError::None;
}

std::vector<uint8_t> build_smb(const SmbHeader &h, ByteView words, ByteView bytes)
{
    std::vector<uint8_t> out(kMagic, kMagic + 4);
    out.reserve(kSmbHeaderSize + 3 + words.size + bytes.size);
    out.push_back(h.command);
    put_le32(out, h.status);
    out.push_back(h.flags);
    put_le16(out, h.flags2);
    put_le16(out, h.pid_high);
    out.insert(out.end(), 8 + 2, 0);  // signature, reserved
    put_le16(out, h.tid);
    put_le16(out, h.pid);
    put_le16(out, h.uid);
    put_le16(out, h.mid);
    out.push_back(static_cast<uint8_t>(words.size / 2));
    put_bytes(out, words.sub(0, 2 * (words.size / 2)));
    put_le16(out, static_cast<uint16_t>(bytes.size));
    put_bytes(out, bytes);
    return out;
}

SmbError parse_send_message(const SmbPacket &p, SingleMessage &out)
{
    if (p.word_count != 0)
        return SmbError::WrongWordCount;
    Cursor c{p.bytes};
    SmbError e = read_name(c, out.from);
    if (e == SmbError::None)
        e = read_name(c, out.to);
    if (e == SmbError::None)
        e = read_block(c, out.text);
    return e;
}

SmbError parse_send_start(const SmbPacket &p, MessageStart &out)
{
    if (p.word_count != 0)
        return SmbError::WrongWordCount;
    Cursor c{p.bytes};
    SmbError e = read_name(c, out.from);
    if (e == SmbError::None)
        e = read_name(c, out.to);
    return e;
}

SmbError parse_send_text(const SmbPacket &p, MessageText &out)
{
    if (p.word_count != 1)
        return SmbError::WrongWordCount;
    out.group = get_le16(p.words.data);
    Cursor c{p.bytes};
    return read_block(c, out.text);
}

SmbError parse_send_end(const SmbPacket &p, uint16_t &group)
{
    if (p.word_count != 1)
        return SmbError::WrongWordCount;
    group = get_le16(p.words.data);
    return SmbError::None;
}

SmbError parse_negotiate(const SmbPacket &p, std::vector<std::string> &dialects)
{
    if (p.word_count != 0)
        return SmbError::WrongWordCount;
    dialects.clear();
    Cursor c{p.bytes};
    while (c.left() > 0) {
        if (!c.expect(kFormatDialect))
            return SmbError::WrongBufferFormat;
        std::string d;
        const SmbError e = c.asciiz(d, kMaxMessageName);
        if (e != SmbError::None)
            return e;
        dialects.push_back(std::move(d));
    }
    return SmbError::None;
}

std::vector<uint8_t> build_send_message(uint16_t pid, std::string_view from, std::string_view to,
                                        std::string_view text)
{
    std::vector<uint8_t> bytes;
    put_name(bytes, from);
    put_name(bytes, to);
    put_block(bytes, text);
    return build_smb(request_header(kSmbSendMessage, pid), {}, bytes);
}

std::vector<uint8_t> build_send_start(uint16_t pid, std::string_view from, std::string_view to)
{
    std::vector<uint8_t> bytes;
    put_name(bytes, from);
    put_name(bytes, to);
    return build_smb(request_header(kSmbSendStart, pid), {}, bytes);
}

std::vector<uint8_t> build_send_text(uint16_t pid, uint16_t group, std::string_view text)
{
    std::vector<uint8_t> bytes;
    put_block(bytes, text);
    return build_smb(request_header(kSmbSendText, pid), words_of(group), bytes);
}

std::vector<uint8_t> build_send_end(uint16_t pid, uint16_t group)
{
    return build_smb(request_header(kSmbSendEnd, pid), words_of(group), {});
}

std::vector<uint8_t> build_negotiate(uint16_t pid, const std::vector<std::string> &dialects)
{
    std::vector<uint8_t> bytes;
    for (const std::string &d : dialects) {
        bytes.push_back(kFormatDialect);
        put_text(bytes, d);
        bytes.push_back(0);
    }
    return build_smb(request_header(kSmbNegotiate, pid), {}, bytes);
}

std::vector<uint8_t> build_success_reply(const SmbHeader &request, ByteView words)
{
    return build_smb(reply_header(request), words, {});
}

std::vector<uint8_t> build_error_reply(const SmbHeader &request, uint8_t error_class, uint16_t code)
{
    SmbHeader h = reply_header(request);
    h.status = dos_status(error_class, code);
    h.flags2 = kFlags2DosError;
    return build_smb(h, {}, {});
}

uint16_t choose_dialect(const std::vector<std::string> &dialects)
{
    uint16_t core = kNoDialect;
    for (std::size_t i = 0; i < dialects.size() && i < kNoDialect; ++i) {
        if (dialects[i] == kDialectNtLm)
            return static_cast<uint16_t>(i);
        if (dialects[i] == kDialectCore && core == kNoDialect)
            core = static_cast<uint16_t>(i);
    }
    return core;
}

std::vector<uint8_t> build_negotiate_reply(const SmbHeader &request, const std::vector<std::string> &dialects,
                                           uint32_t max_buffer)
{
    const uint16_t index = choose_dialect(dialects);
    if (index == kNoDialect || dialects[index] != kDialectNtLm)
        return build_success_reply(request, words_of(index));
    std::vector<uint8_t> w;
    put_le16(w, index);
    w.push_back(0x01);        // SecurityMode: user level, no challenge/response
    put_le16(w, 1);           // MaxMpxCount
    put_le16(w, 1);           // MaxNumberVcs
    put_le32(w, max_buffer);  // MaxBufferSize
    put_le32(w, 0);           // MaxRawSize
    put_le32(w, 0);           // SessionKey
    put_le32(w, 0);           // Capabilities
    w.insert(w.end(), 8, 0);  // SystemTime
    put_le16(w, 0);           // ServerTimeZone
    w.push_back(0);           // ChallengeLength
    return build_success_reply(request, w);
}

SmbError parse_reply(ByteView packet, uint8_t command, SmbReply &out)
{
    SmbPacket p;
    const SmbError e = parse_smb(packet, p);
    if (e != SmbError::None)
        return e;
    if (!(p.header.flags & kSmbFlagReply))
        return SmbError::NotAReply;
    if (p.header.command != command)
        return SmbError::WrongCommand;
    out = SmbReply{};
    out.status = p.header.status;
    out.ok = p.header.status == 0;
    out.nt_status = (p.header.flags2 & kSmbFlags2NtStatus) != 0;
    if (!out.nt_status) {
        out.error_class = static_cast<uint8_t>(p.header.status);
        out.error_code = static_cast<uint16_t>(p.header.status >> 16);
    }
    out.word_count = p.word_count;
    out.first_word = p.word_count ? get_le16(p.words.data) : 0;
    return SmbError::None;
}

std::string crlf_line_breaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if ((ch == '\r' && next == '\n') || (ch == '\n' && next == '\r')) {
            out += "\r\n";
            ++i;
        } else if (ch == '\r' || ch == '\n' || ch == '\x14') {
            out += "\r\n";
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace msgsvc
