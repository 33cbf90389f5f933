// sender.cpp - request sequence of an outgoing message and the checks of its replies.
#include "msgsvc/core/sender.h"

namespace msgsvc {

namespace {

std::vector<uint8_t> framed(const std::vector<uint8_t> &smb) { return build_session_message(smb); }

uint8_t command_of(SendPhase p)
{
    switch (p) {
    case SendPhase::Negotiate: return kSmbNegotiate;
    case SendPhase::Single: return kSmbSendMessage;
    case SendPhase::Start: return kSmbSendStart;
    case SendPhase::Text: return kSmbSendText;
    case SendPhase::End: return kSmbSendEnd;
    default: return 0;
    }
}

// Enters the first message phase and returns its request.
std::vector<uint8_t> start_message(Sender &s)
{
    const uint16_t pid = s.options.pid;
    if (s.options.style == SendStyle::SingleWhenShort && s.text.size() <= kSegmentSize) {
        s.phase = SendPhase::Single;
        return framed(build_send_message(pid, s.from, s.to, s.text));
    }
    s.phase = SendPhase::Start;
    return framed(build_send_start(pid, s.from, s.to));
}

std::vector<uint8_t> next_text(Sender &s)
{
    const std::string_view rest = std::string_view(s.text).substr(s.offset, kSegmentSize);
    s.offset += rest.size();
    s.phase = SendPhase::Text;
    return framed(build_send_text(s.options.pid, s.group, rest));
}

std::vector<uint8_t> after_session(Sender &s)
{
    if (s.options.negotiate) {
        s.phase = SendPhase::Negotiate;
        return framed(build_negotiate(s.options.pid, {std::string(kDialectNtLm)}));
    }
    return start_message(s);
}

void fail(Sender &s, SendFailure why)
{
    s.phase = SendPhase::Failed;
    s.failure = why;
}

// Advances on one frame; returns the bytes to write next.
std::vector<uint8_t> on_frame(Sender &s, const SessionFrame &f)
{
    if (f.type == kSessionKeepalive)
        return {};
    if (s.phase == SendPhase::Session) {
        if (f.type == kSessionPositive)
            return after_session(s);
        if (f.type == kSessionNegative) {
            s.session_error = parse_negative_response(f.payload).value_or(0);
            fail(s, SendFailure::SessionRefused);
        } else {
            fail(s, SendFailure::BadReply);
        }
        return {};
    }
    if (f.type != kSessionMessage) {
        fail(s, SendFailure::BadReply);
        return {};
    }
    const uint8_t command = command_of(s.phase);
    SmbReply r;
    if (parse_reply(f.payload, command, r) != SmbError::None) {
        s.failed_command = command;
        fail(s, SendFailure::BadReply);
        return {};
    }
    s.reply = r;
    if (!r.ok) {
        s.failed_command = command;
        fail(s, SendFailure::Refused);
        return {};
    }
    switch (s.phase) {
    case SendPhase::Negotiate:
        if (r.word_count == 0 || r.first_word == kNoDialect) {
            s.failed_command = command;
            fail(s, SendFailure::BadReply);
            return {};
        }
        return start_message(s);
    case SendPhase::Start:
        s.group = r.first_word;  // smbd answers WordCount 0: group 0
        return next_text(s);
    case SendPhase::Text:
        if (s.offset < s.text.size())
            return next_text(s);
        s.phase = SendPhase::End;
        return framed(build_send_end(s.options.pid, s.group));
    case SendPhase::Single:
    case SendPhase::End:
        s.phase = SendPhase::Done;
        return {};
    default:
        return {};
    }
}

} // namespace

std::string_view cut_name(std::string_view name, bool (*lead_byte)(uint8_t))
{
    std::size_t n = 0;
    while (n < name.size()) {
        const std::size_t step = lead_byte && lead_byte(static_cast<uint8_t>(name[n])) ? 2 : 1;
        if (n + step > kNameBytes)
            break;
        n += step;
    }
    return name.substr(0, n);  // a lead byte at the very end stays: it is all there is
}

Sender make_sender(std::string_view from, std::string_view to, std::string_view text, const SendOptions &options)
{
    Sender s;
    s.options = options;
    s.from = std::string(cut_name(from, options.lead_byte));
    s.to = std::string(cut_name(to, options.lead_byte));
    s.text = crlf_line_breaks(text);
    if (s.text.empty())
        s.text.assign(1, '\0');
    s.splitter = make_frame_splitter(options.max_frame);
    return s;
}

std::vector<uint8_t> sender_begin(Sender &s)
{
    if (s.options.session_request) {
        s.phase = SendPhase::Session;
        return build_session_request(s.options.called, s.options.calling);
    }
    return after_session(s);
}

SenderStep sender_feed(Sender &s, ByteView in)
{
    SenderStep step;
    if (s.phase == SendPhase::Done || s.phase == SendPhase::Failed) {
        step.done = s.phase == SendPhase::Done;
        step.failed = !step.done;
        return step;
    }
    std::vector<SessionFrame> frames;
    const SplitStatus st = split_frames(s.splitter, in, frames);
    for (const SessionFrame &f : frames) {
        if (!step.send.empty() && f.type != kSessionKeepalive) {  // a reply to a request not yet sent
            fail(s, SendFailure::BadReply);
            break;
        }
        const std::vector<uint8_t> next = on_frame(s, f);
        put_bytes(step.send, next);
        if (s.phase == SendPhase::Done || s.phase == SendPhase::Failed)
            break;
    }
    if (st != SplitStatus::Ok && s.phase != SendPhase::Done && s.phase != SendPhase::Failed)
        fail(s, SendFailure::BadReply);
    step.done = s.phase == SendPhase::Done;
    step.failed = s.phase == SendPhase::Failed;
    if (step.failed)
        step.send.clear();
    return step;
}

uint64_t step_end(const SendClock &c, uint64_t began)
{
    const uint64_t end = began + c.step_ms;
    return end < c.end ? end : c.end;
}

unsigned ms_left(uint64_t now, uint64_t until)
{
    return until > now ? static_cast<unsigned>(until - now) : 0;
}

} // namespace msgsvc
