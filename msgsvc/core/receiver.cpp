// receiver.cpp - per-connection receiving state machine of the message service.
#include "msgsvc/core/receiver.h"

#include "msgsvc/core/admission.h"
#include "msgsvc/core/output_text.h"

namespace msgsvc {

namespace {

AssemblerStep reply(const SmbHeader &request, std::vector<uint8_t> smb)
{
    AssemblerStep s;
    s.reply = std::move(smb);
    s.request = request;
    return s;
}

AssemblerStep drop()
{
    AssemblerStep s;
    s.close = true;
    return s;
}

void reset(MessageAssembler &a)
{
    a.phase = AssemblyPhase::Idle;
    a.from.clear();
    a.to.clear();
    a.text.clear();
}

AssemblerStep refuse(MessageAssembler &a, const SmbHeader &h, uint8_t error_class, uint16_t code)
{
    reset(a);
    return reply(h, build_error_reply(h, error_class, code));
}

AssemblerStep on_single(MessageAssembler &a, const SmbPacket &p)
{
    SingleMessage m;
    if (parse_send_message(p, m) != SmbError::None || !valid_message_name(m.from) || !valid_message_name(m.to))
        return refuse(a, p.header, kErrDos, kErrDosInvalidParameter);
    if (m.text.size() > a.limits.max_text)
        return reply(p.header, build_error_reply(p.header, kErrSrv, kErrSrvNoRoom));
    AssemblerStep s = reply(p.header, build_success_reply(p.header));
    s.message = ReceivedMessage{std::move(m.from), std::move(m.to), std::move(m.text), {}};
    return s;
}

AssemblerStep on_start(MessageAssembler &a, const SmbPacket &p)
{
    MessageStart m;
    if (parse_send_start(p, m) != SmbError::None || !valid_message_name(m.from) || !valid_message_name(m.to))
        return refuse(a, p.header, kErrDos, kErrDosInvalidParameter);
    reset(a);
    a.phase = AssemblyPhase::Collecting;
    a.from = std::move(m.from);
    a.to = std::move(m.to);
    a.group = a.next_group++;
    std::vector<uint8_t> words;
    put_le16(words, a.group);
    AssemblerStep s = reply(p.header, build_success_reply(p.header, words));
    s.progress = true;
    return s;
}

AssemblerStep on_text(MessageAssembler &a, const SmbPacket &p)
{
    if (a.phase != AssemblyPhase::Collecting)
        return refuse(a, p.header, kErrDos, kErrDosInvalidParameter);
    MessageText m;
    if (parse_send_text(p, m) != SmbError::None)
        return refuse(a, p.header, kErrDos, kErrDosInvalidParameter);
    if (m.text.size() > a.limits.max_text - a.text.size())
        return refuse(a, p.header, kErrSrv, kErrSrvNoRoom);
    a.text += m.text;
    AssemblerStep s = reply(p.header, build_success_reply(p.header));
    s.progress = true;
    return s;
}

AssemblerStep on_end(MessageAssembler &a, const SmbPacket &p)
{
    if (a.phase != AssemblyPhase::Collecting)
        return refuse(a, p.header, kErrDos, kErrDosInvalidParameter);
    uint16_t group = 0;
    if (parse_send_end(p, group) != SmbError::None)
        return refuse(a, p.header, kErrDos, kErrDosInvalidParameter);
    AssemblerStep s = reply(p.header, build_success_reply(p.header));
    s.message = ReceivedMessage{std::move(a.from), std::move(a.to), std::move(a.text), {}};
    reset(a);
    return s;
}

AssemblerStep on_negotiate(MessageAssembler &a, const SmbPacket &p)
{
    std::vector<std::string> dialects;
    if (parse_negotiate(p, dialects) != SmbError::None)
        return reply(p.header, build_error_reply(p.header, kErrDos, kErrDosInvalidParameter));
    return reply(p.header, build_negotiate_reply(p.header, dialects, static_cast<uint32_t>(a.limits.max_frame)));
}

void emit(ReceiverOutput &out, ByteView bytes) { put_bytes(out.send, bytes); }

bool ours(const ReceiverPolicy &p, std::string_view name)
{
    return is_our_name(*p.names, name, p.name_case ? *p.name_case : ascii_name_case());
}

bool called_ours(const ReceiverPolicy &p, const NetbiosName &called)
{
    return !p.names || (called.suffix == kSuffixMessenger && ours(p, called.name));
}

// Replies to a complete message as the policy decides; false when the connection is to be closed.
bool on_message(ReceiverConn &c, AssemblerStep &s, ReceiverOutput &out, const ReceiverPolicy &p)
{
    if (p.names && !ours(p, s.message->to)) {
        out.refused = "message for \"" + s.message->to + "\": not one of our names";
        return false;
    }
    out.progress = true;
    switch (p.admit ? p.admit(*s.message) : Verdict::Deliver) {
    case Verdict::Deliver:
        emit(out, build_session_message(s.reply));
        s.message->calling = c.calling;
        out.messages.push_back(std::move(*s.message));
        return true;
    case Verdict::NoRoom:
        emit(out, build_session_message(build_error_reply(s.request, kErrSrv, kErrSrvNoRoom)));
        return true;
    case Verdict::Drop:
        break;
    }
    return false;
}

// Handles one complete frame; returns false when the connection is to be closed.
bool on_frame(ReceiverConn &c, const SessionFrame &f, ReceiverOutput &out, const ReceiverPolicy &p)
{
    switch (f.type) {
    case kSessionKeepalive:
        return true;
    case kSessionRequest: {
        if (c.session_requested || c.smb_seen)
            return false;
        c.session_requested = true;
        const auto req = parse_session_request(f.payload);
        if (!req || !called_ours(p, req->called)) {
            emit(out, build_negative_response(kSessionCalledNotPresent));
            if (req)
                out.refused = "called name " + req->called.name + "<" + hex_byte(req->called.suffix) + "> not present";
            return false;
        }
        c.calling = req->calling.name;
        emit(out, build_positive_response());
        return true;
    }
    case kSessionMessage: {
        c.smb_seen = true;
        AssemblerStep s = assemble_smb(c.assembler, f.payload);
        if (s.close)
            return false;
        if (s.message)
            return on_message(c, s, out, p);
        out.progress = out.progress || s.progress;
        emit(out, build_session_message(s.reply));
        return true;
    }
    default:
        return false;
    }
}

} // namespace

MessageAssembler make_assembler(const ReceiverLimits &limits)
{
    MessageAssembler a;
    a.limits = limits;
    return a;
}

AssemblerStep assemble_smb(MessageAssembler &a, ByteView smb)
{
    SmbPacket p;
    if (parse_smb(smb, p) != SmbError::None || (p.header.flags & kSmbFlagReply))
        return drop();
    switch (p.header.command) {
    case kSmbSendMessage: return on_single(a, p);
    case kSmbSendStart: return on_start(a, p);
    case kSmbSendText: return on_text(a, p);
    case kSmbSendEnd: return on_end(a, p);
    case kSmbNegotiate: return on_negotiate(a, p);
    default: return reply(p.header, build_error_reply(p.header, kErrSrv, kErrSrvUnknownCommand));
    }
}

ReceiverConn make_receiver(const ReceiverLimits &limits)
{
    ReceiverConn c;
    c.splitter = make_frame_splitter(limits.max_frame);
    c.assembler = make_assembler(limits);
    return c;
}

ReceiverOutput receiver_feed(ReceiverConn &c, ByteView in, const ReceiverPolicy &policy)
{
    ReceiverOutput out;
    out.close = c.closed;
    if (c.closed)
        return out;
    std::vector<SessionFrame> frames;
    const SplitStatus st = split_frames(c.splitter, in, frames);
    for (const SessionFrame &f : frames) {
        if (!on_frame(c, f, out, policy)) {
            c.closed = true;
            break;
        }
    }
    if (st != SplitStatus::Ok)
        c.closed = true;
    if (c.closed)
        reset(c.assembler);
    out.close = c.closed;
    return out;
}

std::string normalize_message_text(std::string_view raw)
{
    std::string out;
    for (const char ch : crlf_line_breaks(raw)) {
        if (ch == '\0')
            continue;
        out += is_control(ch) && ch != '\t' && ch != '\r' && ch != '\n' ? '?' : ch;
    }
    return out;
}

} // namespace msgsvc
