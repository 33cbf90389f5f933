// Unit tests for the receiving state machine, the sending sequence and the two talking to each other.
#include "msgsvc/core/receiver.h"
#include "msgsvc/core/sender.h"

#include "tests/unit/msgsvc_hex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace msgsvc;

namespace {

std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<uint8_t> frame(const std::vector<uint8_t> &smb) { return build_session_message(smb); }
const std::vector<uint8_t> kKeepalive = hex("85 00 00 00");

// Command, status (DOS form) and first word of every SMB reply in a byte stream.
struct Answer {
    uint8_t command;
    uint32_t status;
    uint8_t word_count;
    uint16_t first_word;
};
std::vector<Answer> answers(const std::vector<uint8_t> &stream)
{
    FrameSplitter s = make_frame_splitter(kMaxSessionLength);
    std::vector<SessionFrame> frames;
    EXPECT_EQ(split_frames(s, stream, frames), SplitStatus::Ok);
    std::vector<Answer> out;
    for (const SessionFrame &f : frames) {
        SmbPacket p;
        if (f.type != kSessionMessage || parse_smb(f.payload, p) != SmbError::None) {
            ADD_FAILURE() << "not an SMB frame";
            continue;
        }
        EXPECT_TRUE(p.header.flags & kSmbFlagReply);
        out.push_back({p.header.command, p.header.status, p.word_count, p.word_count ? get_le16(p.words.data) : uint16_t{0}});
    }
    return out;
}

const uint32_t kOk = 0;
const uint32_t kNotStarted = dos_status(kErrDos, kErrDosInvalidParameter);
const uint32_t kNoRoom = dos_status(kErrSrv, kErrSrvNoRoom);

} // namespace

TEST(msgsvcMessageText, NormalisesLineBreaksAndNuls)
{
    struct Case { std::string raw, want; };
    const Case cases[] = {
        {"a\x14" "b", "a\r\nb"},       {"a\r\nb", "a\r\nb"},          {"a\nb", "a\r\nb"},
        {"a\n\rb", "a\r\nb"},          {"a\rb", "a\r\nb"},            {"a\n\nb", "a\r\n\r\nb"},
        {"a\r\n\r\nb", "a\r\n\r\nb"},  {"a\r\n\nb", "a\r\n\r\nb"},    {std::string("hi\0\0", 4), "hi"},
        {std::string("\0", 1), ""},     {std::string("a\0b", 3), "ab"}, {"w\x94rld", "w\x94rld"},
        {"\n", "\r\n"},                 {"", ""},                        {"a\x07\x1b" "b\tc\x7F", "a??b\tc?"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(normalize_message_text(c.raw), c.want) << c.raw;
}

TEST(msgsvcMessageText, OutgoingBreaksBecomeCrLf)
{
    struct Case { std::string text, want; };
    const Case cases[] = {
        {"a\r\nb", "a\r\nb"}, {"a\nb", "a\r\nb"}, {"a\rb", "a\r\nb"}, {"a\n\rb", "a\r\nb"},
        {"a\x14" "b", "a\r\nb"}, {"a\r\n\r\n", "a\r\n\r\n"}, {"\x94", "\x94"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(crlf_line_breaks(c.text), c.want) << c.text;
}

TEST(msgsvcAssembler, SingleBlockDeliversAtOnce)
{
    MessageAssembler a = make_assembler();
    const AssemblerStep s = assemble_smb(a, build_send_message(1, "bob", "PEER", "hi there"));
    ASSERT_TRUE(s.message);
    EXPECT_EQ(s.message->from, "bob");
    EXPECT_EQ(s.message->to, "PEER");
    EXPECT_EQ(s.message->text, "hi there");
    EXPECT_EQ(answers(frame(s.reply))[0].status, kOk);

    MessageAssembler small = make_assembler({kDefaultMaxFrame, 4});
    EXPECT_TRUE(assemble_smb(small, build_send_message(1, "bob", "PEER", "four")).message);
    const AssemblerStep over = assemble_smb(small, build_send_message(1, "bob", "PEER", "five!"));
    EXPECT_FALSE(over.message);
    EXPECT_EQ(answers(frame(over.reply))[0].status, kNoRoom);
}

TEST(msgsvcAssembler, MultiBlockConcatenatesBlocksOfEveryLength)
{
    for (std::size_t len : {0u, 1u, 127u, 128u, 129u, 1600u}) {
        MessageAssembler a = make_assembler();
        const std::string block(len, 'x');
        AssemblerStep s = assemble_smb(a, build_send_start(1, "alice", "PEER"));
        const auto start = answers(frame(s.reply));
        EXPECT_EQ(start[0].word_count, 1) << "group id in the start reply";
        for (int i = 0; i < 2; ++i) {
            s = assemble_smb(a, build_send_text(1, start[0].first_word, block));
            EXPECT_FALSE(s.message);
            EXPECT_EQ(answers(frame(s.reply))[0].status, kOk) << len;
        }
        s = assemble_smb(a, build_send_end(1, start[0].first_word));
        ASSERT_TRUE(s.message) << len;
        EXPECT_EQ(s.message->text, block + block);
        EXPECT_EQ(s.message->from, "alice");
    }
}

TEST(msgsvcAssembler, RefusesOutOfSequenceOversizeAndUnknown)
{
    struct Step { std::vector<uint8_t> smb; uint32_t status; bool message; };
    struct Case { const char *what; std::vector<Step> steps; const char *last_text; };
    const std::string big(1600, 'y');
    const auto start = build_send_start(1, "a", "b");
    const Case cases[] = {
        {"text without start", {{build_send_text(1, 0, "x"), kNotStarted, false}}, nullptr},
        {"end without start", {{build_send_end(1, 0), kNotStarted, false}}, nullptr},
        {"end twice", {{start, kOk, false}, {build_send_end(1, 1), kOk, true}, {build_send_end(1, 1), kNotStarted, false}},
         ""},
        {"total over the cap",
         {{start, kOk, false}, {build_send_text(1, 1, big), kOk, false}, {build_send_text(1, 1, big), kOk, false},
          {build_send_text(1, 1, "z"), kNoRoom, false}, {build_send_end(1, 1), kNotStarted, false}},
         nullptr},
        {"restart discards",
         {{start, kOk, false}, {build_send_text(1, 1, "old"), kOk, false}, {build_send_start(1, "c", "d"), kOk, false},
          {build_send_end(1, 2), kOk, true}},
         ""},
        {"malformed text drops sequence",
         {{start, kOk, false}, {build_smb(SmbHeader{kSmbSendText}, {}, {}), kNotStarted, false},
          {build_send_end(1, 1), kNotStarted, false}},
         nullptr},
        {"single block keeps sequence",
         {{start, kOk, false}, {build_send_message(1, "e", "f", "g"), kOk, true}, {build_send_text(1, 1, "t"), kOk, false},
          {build_send_end(1, 1), kOk, true}},
         "t"},
        {"unknown command", {{build_smb(SmbHeader{0x2E}, {}, {}), dos_status(kErrSrv, kErrSrvUnknownCommand), false}},
         nullptr},
        {"forged From", {{build_send_start(1, "BOSS to BOB on 01.01.2030 09:00\r\n\r\n", "b"), kNotStarted, false}},
         nullptr},
        {"To beyond 15 characters",
         {{build_send_message(1, "a", "BOB" + std::string(12, ' ') + "\r\nX", "t"), kNotStarted, false}}, nullptr},
    };
    for (const Case &c : cases) {
        MessageAssembler a = make_assembler();
        std::string last_text;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const AssemblerStep s = assemble_smb(a, c.steps[i].smb);
            ASSERT_FALSE(s.close) << c.what << " step " << i;
            EXPECT_EQ(answers(frame(s.reply))[0].status, c.steps[i].status) << c.what << " step " << i;
            EXPECT_EQ(s.message.has_value(), c.steps[i].message) << c.what << " step " << i;
            if (s.message)
                last_text = s.message->text;
        }
        if (c.last_text) {
            EXPECT_EQ(last_text, c.last_text) << c.what;
        }
    }
}

TEST(msgsvcAssembler, ClosesOnPacketsItCannotAnswer)
{
    SmbHeader reply_flagged{kSmbSendMessage};
    reply_flagged.flags = kSmbFlagReply;
    auto lying = build_send_end(1, 0);
    lying[32] = 9;
    const std::vector<std::vector<uint8_t>> cases = {
        {}, hex("FE 53 4D 42"), build_smb(reply_flagged, {}, {}), lying,
    };
    for (const auto &smb : cases) {
        MessageAssembler a = make_assembler();
        const AssemblerStep s = assemble_smb(a, smb);
        EXPECT_TRUE(s.close);
        EXPECT_TRUE(s.reply.empty());
    }
}

TEST(msgsvcReceiver, SmbclientStreamByteByByte)
{
    const auto stream = cat({
        build_session_request({"TOLVIKPEER", 0x03}, {"SENDERPC", 0x00}),
        frame(build_send_start(0x2267, "alice", "TOLVIKPEER")),
        kKeepalive,
        frame(build_send_text(0x2267, 0, "Hello w\x94rld\r\nline2")),
        kKeepalive,
        frame(build_send_end(0x2267, 0)),
    });
    ReceiverConn c = make_receiver();
    std::vector<uint8_t> sent;
    std::vector<ReceivedMessage> messages;
    for (uint8_t b : stream) {
        ReceiverOutput out = receiver_feed(c, ByteView(&b, 1));
        ASSERT_FALSE(out.close);
        sent.insert(sent.end(), out.send.begin(), out.send.end());
        for (auto &m : out.messages)
            messages.push_back(std::move(m));
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].from, "alice");
    EXPECT_EQ(messages[0].to, "TOLVIKPEER");
    EXPECT_EQ(messages[0].calling, "SENDERPC");
    EXPECT_EQ(messages[0].text, "Hello w\x94rld\r\nline2");

    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(sent.begin(), sent.begin() + 4), build_positive_response());
    const auto replies = answers(std::vector<uint8_t>(sent.begin() + 4, sent.end()));
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[0].command, kSmbSendStart);
    EXPECT_EQ(replies[1].command, kSmbSendText);
    EXPECT_EQ(replies[2].command, kSmbSendEnd);
}

TEST(msgsvcReceiver, SessionLevelMisbehaviourCloses)
{
    const auto request = build_session_request({"PEER", 0x03}, {"PC", 0x00});
    auto bad_name = request;
    bad_name[10] = 'z';
    SmbHeader start{kSmbSendStart};
    start.pid = 1;
    struct Case { const char *what; std::vector<uint8_t> bytes; std::vector<uint8_t> sent; };
    const Case cases[] = {
        {"second session request", cat({request, request}), build_positive_response()},
        {"request after SMB", cat({frame(build_send_start(1, "a", "b")), request}),
         frame(build_success_reply(start, hex("01 00")))},
        {"malformed called name", bad_name, build_negative_response(kSessionCalledNotPresent)},
        {"positive response from a client", build_positive_response(), {}},
        {"oversize frame", hex("00 00 10 01"), {}},
        {"unknown frame type", hex("42 00 00 00"), {}},
        {"garbage SMB", frame(hex("01 02 03")), {}},
    };
    for (const Case &c : cases) {
        ReceiverConn conn = make_receiver();
        ReceiverOutput out = receiver_feed(conn, c.bytes);
        EXPECT_TRUE(out.close) << c.what;
        EXPECT_EQ(out.send, c.sent) << c.what;
        out = receiver_feed(conn, frame(build_send_message(1, "a", "b", "c")));
        EXPECT_TRUE(out.send.empty() && out.messages.empty()) << c.what << ": input after close";
    }
}

TEST(msgsvcReceiver, PolicyGatesEverySessionRequestAndDecidesBeforeTheReply)
{
    const std::vector<std::string> names = {"BOB"};
    Verdict verdict = Verdict::Deliver;
    const ReceiverPolicy policy{&names, [&](const ReceivedMessage &) { return verdict; }};
    const auto request = [](const char *called, uint8_t suffix) {
        return build_session_request({called, suffix}, {"PC", kSuffixWorkstation});
    };
    const auto refused = build_negative_response(kSessionCalledNotPresent);
    struct Gate { const char *what; std::vector<uint8_t> bytes; std::vector<uint8_t> sent; };
    const Gate gates[] = {
        {"our name", request("bob", 0x03), build_positive_response()},
        {"another name", request("NOTBOB", 0x03), refused},
        {"another suffix", request("BOB", 0x20), refused},
        {"a keepalive first", cat({kKeepalive, request("NOTBOB", 0x03)}), refused},
    };
    for (const Gate &g : gates) {
        ReceiverConn c = make_receiver();
        const ReceiverOutput out = receiver_feed(c, g.bytes, policy);
        EXPECT_EQ(out.send, g.sent) << g.what;
        EXPECT_EQ(out.close, g.sent == refused) << g.what;
        EXPECT_EQ(out.refused.empty(), g.sent != refused) << g.what;
    }

    SmbHeader single{kSmbSendMessage};
    single.pid = 1;
    struct Message { const char *what; Verdict verdict; const char *to; std::vector<uint8_t> sent; bool delivered; };
    const Message messages[] = {
        {"delivered", Verdict::Deliver, "BOB", frame(build_success_reply(single)), true},
        {"no room", Verdict::NoRoom, "BOB", frame(build_error_reply(single, kErrSrv, kErrSrvNoRoom)), false},
        {"dropped", Verdict::Drop, "BOB", {}, false},
        {"not ours", Verdict::Deliver, "NOTBOB", {}, false},
    };
    for (const Message &m : messages) {
        verdict = m.verdict;
        ReceiverConn c = make_receiver();
        const ReceiverOutput out = receiver_feed(c, frame(build_send_message(1, "a", m.to, "hi")), policy);
        EXPECT_EQ(out.send, m.sent) << m.what;
        EXPECT_EQ(out.messages.size(), m.delivered ? 1u : 0u) << m.what;
        EXPECT_EQ(out.close, m.sent.empty()) << m.what;
    }
}

TEST(msgsvcReceiver, DropBeforeEndDeliversNothing)
{
    ReceiverConn c = make_receiver();
    ReceiverOutput out = receiver_feed(c, cat({frame(build_send_start(1, "a", "b")), frame(build_send_text(1, 1, "part")),
                                               hex("00 01 00")}));
    EXPECT_FALSE(out.close);
    EXPECT_TRUE(out.messages.empty());
    out = receiver_feed(c, hex("00"));  // completes a header that announces 64 KiB
    EXPECT_TRUE(out.close);
    out = receiver_feed(c, frame(build_send_end(1, 1)));
    EXPECT_TRUE(out.messages.empty());
}

namespace {

struct Exchange {
    std::vector<ReceivedMessage> delivered;
    std::vector<uint8_t> commands;  // SMB commands the sender sent, in order
    bool done = false;
    bool failed = false;
};

// Runs a sender against a receiver until one of them stops.
Exchange run(Sender &s, ReceiverConn &r)
{
    Exchange x;
    std::vector<uint8_t> to_receiver = sender_begin(s);
    for (int round = 0; round < 100 && !to_receiver.empty(); ++round) {
        FrameSplitter spy = make_frame_splitter(kMaxSessionLength);
        std::vector<SessionFrame> frames;
        split_frames(spy, to_receiver, frames);
        for (const SessionFrame &f : frames)
            if (f.type == kSessionMessage && f.payload.size() > 4)
                x.commands.push_back(f.payload[4]);
        ReceiverOutput out = receiver_feed(r, to_receiver);
        for (auto &m : out.messages)
            x.delivered.push_back(std::move(m));
        const SenderStep step = sender_feed(s, out.send);
        x.done = step.done;
        x.failed = step.failed;
        to_receiver = step.send;
    }
    return x;
}

} // namespace

TEST(msgsvcSenderAndReceiver, DeliverEveryLengthInEveryStyle)
{
    struct Style { SendStyle style; bool negotiate; bool session; };
    const Style styles[] = {
        {SendStyle::MultiBlock, false, true}, {SendStyle::SingleWhenShort, false, true},
        {SendStyle::SingleWhenShort, true, false}, {SendStyle::MultiBlock, true, false},
    };
    for (const Style &st : styles) {
        for (std::size_t len : {0u, 1u, 127u, 128u, 129u, 256u, 700u}) {
            std::string text;
            for (std::size_t i = 0; i < len; ++i)
                text += static_cast<char>('a' + i % 26);
            SendOptions o;
            o.called = {"PEER", kSuffixMessenger};
            o.calling = {"ME", kSuffixWorkstation};
            o.style = st.style;
            o.negotiate = st.negotiate;
            o.session_request = st.session;
            Sender s = make_sender("me", "PEER", text, o);
            ReceiverConn r = make_receiver();
            const Exchange x = run(s, r);
            const std::string label = std::to_string(len) + " style " + std::to_string(int(st.style)) +
                                      (st.negotiate ? " negotiate" : "");
            ASSERT_TRUE(x.done) << label;
            ASSERT_EQ(x.delivered.size(), 1u) << label;
            EXPECT_EQ(x.delivered[0].text, len ? text : std::string(1, '\0')) << label << ": empty goes as one NUL";
            EXPECT_EQ(x.delivered[0].calling, st.session ? "ME" : "") << label;

            // Windows' shape: 0xD0 up to 128 bytes, else 128-byte 0xD7 blocks; an empty text is one block.
            const bool single = st.style == SendStyle::SingleWhenShort && len <= 128;
            const std::size_t blocks = len == 0 ? 1 : (len + 127) / 128;
            std::vector<uint8_t> want;
            if (st.negotiate)
                want.push_back(kSmbNegotiate);
            if (single) {
                want.push_back(kSmbSendMessage);
            } else {
                want.push_back(kSmbSendStart);
                want.insert(want.end(), blocks, kSmbSendText);
                want.push_back(kSmbSendEnd);
            }
            EXPECT_EQ(x.commands, want) << label;
        }
    }
}

TEST(msgsvcSender, ToleratesReplyShapesAndReportsFailures)
{
    const SmbHeader start{kSmbSendStart};
    const SmbHeader text{kSmbSendText};
    SmbHeader nt_error{kSmbSendStart};
    nt_error.flags = kSmbFlagReply;
    nt_error.flags2 = kSmbFlags2NtStatus;
    nt_error.status = 0xC0000022;
    struct Case {
        const char *what;
        std::vector<std::vector<uint8_t>> replies;  // one feed each, after the session is up
        SendFailure failure;
        uint16_t group_in_text;
    };
    const Case cases[] = {
        {"start reply WC 0 (smbd)", {frame(build_success_reply(start))}, SendFailure::None, 0},
        {"start reply WC 1", {frame(build_success_reply(start, hex("34 12")))}, SendFailure::None, 0x1234},
        {"keepalive first", {cat({kKeepalive, frame(build_success_reply(start))})}, SendFailure::None, 0},
        {"DOS error", {frame(build_error_reply(start, kErrSrv, kErrSrvMessagesOff))}, SendFailure::Refused, 0},
        {"NT error", {frame(build_smb(nt_error, {}, {}))}, SendFailure::Refused, 0},
        {"reply to another command", {frame(build_success_reply(text))}, SendFailure::BadReply, 0},
        {"not an SMB", {frame(hex("01 02 03"))}, SendFailure::BadReply, 0},
        {"oversize frame", {hex("00 01 00 00")}, SendFailure::BadReply, 0},
        {"a reply ahead of its request",
         {cat({frame(build_success_reply(start)), frame(build_success_reply(text)),
               frame(build_success_reply(SmbHeader{kSmbSendEnd}))})},
         SendFailure::BadReply, 0},
    };
    for (const Case &c : cases) {
        SendOptions o;
        o.session_request = false;
        Sender s = make_sender("me", "PEER", "hello", o);
        const auto first = sender_begin(s);
        EXPECT_EQ(first[4 + 4], kSmbSendStart) << c.what;
        SenderStep step;
        for (const auto &r : c.replies)
            step = sender_feed(s, r);
        EXPECT_EQ(s.failure, c.failure) << c.what;
        EXPECT_EQ(step.failed, c.failure != SendFailure::None) << c.what;
        if (c.failure != SendFailure::None) {
            EXPECT_TRUE(step.send.empty()) << c.what;
            continue;
        }
        ASSERT_FALSE(step.send.empty()) << c.what;
        SmbPacket p;
        ASSERT_EQ(parse_smb(ByteView(step.send).sub(4), p), SmbError::None) << c.what;
        EXPECT_EQ(p.header.command, kSmbSendText) << c.what;
        EXPECT_EQ(get_le16(p.words.data), c.group_in_text) << c.what;
    }
}

TEST(msgsvcSender, ReportsSessionRefusalDosStatusAndNoDialect)
{
    SendOptions o;
    o.called = {"PEER", kSuffixMessenger};
    Sender s = make_sender("me", "PEER", "x", o);
    EXPECT_EQ(sender_begin(s), build_session_request({"PEER", 0x03}, {"", 0x00}));
    const SenderStep step = sender_feed(s, build_negative_response(kSessionCalledNotPresent));
    EXPECT_TRUE(step.failed);
    EXPECT_EQ(s.failure, SendFailure::SessionRefused);
    EXPECT_EQ(s.session_error, kSessionCalledNotPresent);

    o.session_request = false;
    Sender t = make_sender("me", "PEER", "x", o);
    sender_begin(t);
    sender_feed(t, frame(build_error_reply(SmbHeader{kSmbSendStart}, kErrDos, kErrDosNoMessaging)));
    EXPECT_EQ(t.failure, SendFailure::Refused);
    EXPECT_EQ(t.failed_command, kSmbSendStart);
    EXPECT_EQ(t.reply.error_class, kErrDos);
    EXPECT_EQ(t.reply.error_code, kErrDosNoMessaging);

    o.negotiate = true;
    o.style = SendStyle::SingleWhenShort;
    SmbHeader negotiate{kSmbNegotiate};
    for (const std::vector<std::string> &offer : {std::vector<std::string>{"SMB 2.002"}, std::vector<std::string>{"NT LM 0.12"}}) {
        Sender n = make_sender("me", "PEER", "x", o);
        EXPECT_EQ(sender_begin(n)[4 + 4], kSmbNegotiate);
        const SenderStep st = sender_feed(n, frame(build_negotiate_reply(negotiate, offer, 4096)));
        const bool accepted = offer[0] == "NT LM 0.12";
        EXPECT_EQ(st.failed, !accepted) << offer[0];
        EXPECT_EQ(!st.send.empty() && st.send[4 + 4] == kSmbSendMessage, accepted) << offer[0];
    }
}

TEST(msgsvcSender, NamesGoOutAsAtMostFifteenBytes)
{
    auto lead = [](uint8_t b) { return b >= 0x81 && b <= 0x9F; };  // code page 932's first lead bytes
    struct Case { std::string from; bool dbcs; std::string want; };
    const Case cases[] = {
        {std::string(70000, 'a'), false, std::string(15, 'a')},  // its byte count would wrap
        {"FIFTEEN-LETTERS", false, "FIFTEEN-LETTERS"},
        {"FOURTEEN-BYTES\x82\xA0", true, "FOURTEEN-BYTES"},     // a double-byte character that does not fit
        {"THIRTEEN-BYTE\x82\xA0", true, "THIRTEEN-BYTE\x82\xA0"},
    };
    for (const Case &c : cases) {
        SendOptions o;
        o.session_request = false;
        o.lead_byte = c.dbcs ? +lead : nullptr;
        Sender s = make_sender(c.from, c.from, "x", o);
        const auto first = sender_begin(s);
        SmbPacket p;
        MessageStart start;
        ASSERT_EQ(parse_smb(ByteView(first).sub(4), p), SmbError::None);
        ASSERT_EQ(parse_send_start(p, start), SmbError::None) << c.want;
        EXPECT_EQ(start.from, c.want);
        EXPECT_EQ(start.to, c.want);
    }
}

TEST(msgsvcSendClock, PeerTrafficMovesNoWait)
{
    const SendClock clock{5000, 2000};  // the send started at 0 with a 5 s deadline and 2 s steps
    struct Case { uint64_t began, now; unsigned left; };
    const Case cases[] = {
        {0, 0, 2000},     {0, 1999, 1},  {0, 2000, 0},  // a keepalive at 1999 leaves the step's end where it was
        {4000, 4000, 1000}, {4000, 6000, 0},            // a late step ends with the send
    };
    for (const Case &c : cases)
        EXPECT_EQ(ms_left(c.now, step_end(clock, c.began)), c.left) << c.began << " " << c.now;
}
