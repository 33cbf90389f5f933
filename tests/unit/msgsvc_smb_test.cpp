// Unit tests for SMB1 message service packets: known bytes, round trips and every malformed shape.
#include "msgsvc/core/session.h"
#include "msgsvc/core/smb.h"

#include "tests/unit/msgsvc_hex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace msgsvc;

namespace {

// Request header as smbclient sends it (pid 0x2267), and a reply header echoing it.
std::string header(const char *cmd) { return std::string("FF 53 4D 42 ") + cmd + " 00000000 00 0000 0000 0000000000000000 0000 0000 6722 0000 0000"; }

const std::string kHello = "Hello w\x94rld\r\nline2";

// A packet with the given words and bytes (hex), WordCount and ByteCount computed.
std::vector<uint8_t> packet(const char *cmd, const std::string &words, const std::string &bytes)
{
    const auto w = hex(words), b = hex(bytes);
    auto out = hex(header(cmd));
    out.push_back(static_cast<uint8_t>(w.size() / 2));
    out.insert(out.end(), w.begin(), w.end());
    out.push_back(static_cast<uint8_t>(b.size()));
    out.push_back(static_cast<uint8_t>(b.size() >> 8));
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

// A parsed packet together with the buffer its views point into.
struct Parsed {
    std::vector<uint8_t> buf;
    SmbPacket p;
};
Parsed parsed(std::vector<uint8_t> bytes)
{
    Parsed r{std::move(bytes), {}};
    EXPECT_EQ(parse_smb(r.buf, r.p), SmbError::None);
    return r;
}

} // namespace

TEST(msgsvcSmbRequests, BuildKnownBytesAndParseThemBack)
{
    const auto start = hex("00 00 00 36 | " + header("D5") + " | 00 | 13 00 | 04 \"alice\" 00 04 \"TOLVIKPEER\" 00");
    const auto text = hex("00 00 00 3A | " + header("D7") + " | 01 | 00 00 | 15 00 | 01 12 00 \"Hello w\" 94 \"rld\" 0D 0A \"line2\"");
    const auto end = hex("00 00 00 25 | " + header("D6") + " | 01 | 00 00 | 00 00");
    EXPECT_EQ(build_session_message(build_send_start(0x2267, "alice", "TOLVIKPEER")), start);
    EXPECT_EQ(build_session_message(build_send_text(0x2267, 0, kHello)), text);
    EXPECT_EQ(build_session_message(build_send_end(0x2267, 0)), end);

    MessageStart s;
    ASSERT_EQ(parse_send_start(parsed(std::vector<uint8_t>(start.begin() + 4, start.end())).p, s), SmbError::None);
    EXPECT_EQ(s.from, "alice");
    EXPECT_EQ(s.to, "TOLVIKPEER");
    MessageText t;
    ASSERT_EQ(parse_send_text(parsed(std::vector<uint8_t>(text.begin() + 4, text.end())).p, t), SmbError::None);
    EXPECT_EQ(t.text, kHello);
    uint16_t group = 1;
    EXPECT_EQ(parse_send_end(parsed(std::vector<uint8_t>(end.begin() + 4, end.end())).p, group), SmbError::None);
    EXPECT_EQ(group, 0);

    SingleMessage m;
    const Parsed single = parsed(build_send_message(7, "bob", "PEER", kHello));
    EXPECT_EQ(single.p.header.command, kSmbSendMessage);
    ASSERT_EQ(parse_send_message(single.p, m), SmbError::None);
    EXPECT_EQ(m.from, "bob");
    EXPECT_EQ(m.to, "PEER");
    EXPECT_EQ(m.text, kHello);
}

TEST(msgsvcSmbReplies, MatchWhatSmbdSends)
{
    const SmbHeader request = parsed(packet("D5", "", "04 \"a\" 00 04 \"b\" 00")).p.header;
    EXPECT_EQ(build_session_message(build_success_reply(request)),
              hex("00 00 00 23 FF 53 4D 42 D5 00 00 00 00 80 03 40 0000 0000000000000000 0000 0000 6722 0000 0000 00 00 00"));
    EXPECT_EQ(build_error_reply(request, kErrDos, kErrDosInvalidParameter),
              hex("FF 53 4D 42 D5 01 00 57 00 80 03 00 0000 0000000000000000 0000 0000 6722 0000 0000 00 00 00"));

    SmbHeader echo = request;
    echo.tid = 0x1111;
    echo.uid = 0x2222;
    echo.mid = 0x3333;
    echo.pid_high = 0x4444;
    const SmbPacket r = parsed(build_success_reply(echo, hex("05 00"))).p;
    EXPECT_EQ(r.header.tid, 0x1111);
    EXPECT_EQ(r.header.uid, 0x2222);
    EXPECT_EQ(r.header.mid, 0x3333);
    EXPECT_EQ(r.header.pid_high, 0x4444);
    EXPECT_EQ(r.header.pid, 0x2267);
    EXPECT_EQ(r.word_count, 1);
}

TEST(msgsvcSmbParse, RejectsBrokenFraming)
{
    const auto good = packet("D7", "00 00", "01 02 00 41 42");
    struct Case { const char *what; std::vector<uint8_t> bytes; SmbError want; };
    std::vector<Case> cases = {
        {"empty", {}, SmbError::Truncated},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 32), SmbError::Truncated},
        {"SMB2 magic", good, SmbError::BadMagic},
        {"words beyond", std::vector<uint8_t>(good.begin(), good.begin() + 36), SmbError::WordsBeyondPacket},
        {"word count lies", good, SmbError::WordsBeyondPacket},
        {"byte count lies", good, SmbError::BytesBeyondPacket},
        {"byte count missing", std::vector<uint8_t>(good.begin(), good.begin() + 35), SmbError::WordsBeyondPacket},
    };
    cases[2].bytes[0] = 0xFE;
    cases[4].bytes[32] = 5;
    cases[5].bytes[35] = 6;
    for (const Case &c : cases) {
        SmbPacket p;
        EXPECT_EQ(parse_smb(c.bytes, p), c.want) << c.what;
    }
    auto padded = good;
    padded.push_back(0);
    EXPECT_EQ(parsed(padded).p.bytes.size, 5u) << "bytes after the byte area are not part of it";
}

TEST(msgsvcSmbParse, MessageCommandsRejectEveryMalformedBody)
{
    const std::string long_name(256, 'n');
    const std::string long_block = "01 41 06" + std::string(1601 * 2, '0');
    struct Case { const char *what; std::vector<uint8_t> bytes; SmbError want; };
    const Case cases[] = {
        {"D0 ok", packet("D0", "", "04 \"a\" 00 04 \"b\" 00 01 01 00 58"), SmbError::None},
        {"D0 ok, empty names and text", packet("D0", "", "04 00 04 00 01 00 00"), SmbError::None},
        {"D0 words", packet("D0", "00 00", "04 \"a\" 00 04 \"b\" 00 01 00 00"), SmbError::WrongWordCount},
        {"D0 no 04 before From", packet("D0", "", "05 \"a\" 00 04 \"b\" 00 01 00 00"), SmbError::WrongBufferFormat},
        {"D0 From unterminated", packet("D0", "", "04 \"abc\""), SmbError::MissingTerminator},
        {"D0 no 04 before To", packet("D0", "", "04 \"a\" 00 \"b\" 00 01 00 00"), SmbError::WrongBufferFormat},
        {"D0 To unterminated", packet("D0", "", "04 \"a\" 00 04 \"b\""), SmbError::MissingTerminator},
        {"D0 no 01", packet("D0", "", "04 \"a\" 00 04 \"b\" 00 02 00 00"), SmbError::WrongBufferFormat},
        {"D0 no block", packet("D0", "", "04 \"a\" 00 04 \"b\" 00"), SmbError::WrongBufferFormat},
        {"D0 block length cut", packet("D0", "", "04 \"a\" 00 04 \"b\" 00 01 05"), SmbError::BlockBeyondBytes},
        {"D0 block lies", packet("D0", "", "04 \"a\" 00 04 \"b\" 00 01 05 00 58"), SmbError::BlockBeyondBytes},
        {"D0 From too long", packet("D0", "", "04 \"" + long_name + "\" 00 04 00 01 00 00"), SmbError::NameTooLong},
        {"D5 ok", packet("D5", "", "04 \"a\" 00 04 \"b\" 00"), SmbError::None},
        {"D5 words", packet("D5", "01 00", "04 \"a\" 00 04 \"b\" 00"), SmbError::WrongWordCount},
        {"D5 no To", packet("D5", "", "04 \"a\" 00"), SmbError::WrongBufferFormat},
        {"D7 ok 0 bytes", packet("D7", "00 00", "01 00 00"), SmbError::None},
        {"D7 no words", packet("D7", "", "01 00 00"), SmbError::WrongWordCount},
        {"D7 two words", packet("D7", "00 00 00 00", "01 00 00"), SmbError::WrongWordCount},
        {"D7 no 01", packet("D7", "00 00", "04 00 00"), SmbError::WrongBufferFormat},
        {"D7 empty bytes", packet("D7", "00 00", ""), SmbError::WrongBufferFormat},
        {"D7 block over cap", packet("D7", "00 00", long_block), SmbError::BlockTooLong},
        {"D6 ok", packet("D6", "09 00", ""), SmbError::None},
        {"D6 no words", packet("D6", "", ""), SmbError::WrongWordCount},
    };
    for (const Case &c : cases) {
        const Parsed parsed_case = parsed(c.bytes);
        const SmbPacket &p = parsed_case.p;
        SmbError got = SmbError::None;
        switch (p.header.command) {
        case kSmbSendMessage: { SingleMessage m; got = parse_send_message(p, m); break; }
        case kSmbSendStart: { MessageStart m; got = parse_send_start(p, m); break; }
        case kSmbSendText: { MessageText m; got = parse_send_text(p, m); break; }
        default: { uint16_t g; got = parse_send_end(p, g); break; }
        }
        EXPECT_EQ(got, c.want) << c.what;
    }
}

TEST(msgsvcSmbNegotiate, PicksDialectAndAnswersInTheMatchingShape)
{
    struct Case { const char *bytes; uint16_t index; uint8_t word_count; };
    const Case cases[] = {
        {"02 \"PC NETWORK PROGRAM 1.0\" 00 02 \"LANMAN1.0\" 00 02 \"NT LM 0.12\" 00", 2, 17},
        {"02 \"SMB 2.002\" 00 02 \"PC NETWORK PROGRAM 1.0\" 00", 1, 1},
        {"02 \"SMB 2.002\" 00 02 \"SMB 2.???\" 00", kNoDialect, 1},
        {"", kNoDialect, 1},
    };
    for (const Case &c : cases) {
        const Parsed parsed_req = parsed(packet("72", "", c.bytes));
        const SmbPacket &req = parsed_req.p;
        std::vector<std::string> dialects;
        ASSERT_EQ(parse_negotiate(req, dialects), SmbError::None) << c.bytes;
        EXPECT_EQ(choose_dialect(dialects), c.index) << c.bytes;
        SmbReply r;
        ASSERT_EQ(parse_reply(build_negotiate_reply(req.header, dialects, 4096), kSmbNegotiate, r), SmbError::None);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.word_count, c.word_count) << c.bytes;
        EXPECT_EQ(r.first_word, c.index) << c.bytes;
    }
    const Parsed nt = parsed(build_negotiate_reply(parsed(packet("72", "", "02 \"NT LM 0.12\" 00")).p.header,
                                                   {"NT LM 0.12"}, 4096));
    EXPECT_EQ(get_le32(nt.p.words.data + 7), 4096u) << "MaxBufferSize";

    std::vector<std::string> dialects;
    EXPECT_EQ(parse_negotiate(parsed(packet("72", "", "03 \"NT LM 0.12\" 00")).p, dialects), SmbError::WrongBufferFormat);
    EXPECT_EQ(parse_negotiate(parsed(packet("72", "", "02 \"NT LM 0.12\"")).p, dialects), SmbError::MissingTerminator);
    EXPECT_EQ(parse_negotiate(parsed(packet("72", "01 00", "")).p, dialects), SmbError::WrongWordCount);
}

TEST(msgsvcSmbReplyParse, ReadsStatusInBothFormsAndChecksShape)
{
    auto reply = [](const std::string &status, const char *flags2, const char *rest) {
        return hex("FF 53 4D 42 D5 " + status + " 80 " + flags2 + " 0000 0000000000000000 0000 0000 6722 0000 0000 " + rest);
    };
    struct Case { const char *what; std::vector<uint8_t> bytes; SmbError err; bool ok; bool nt; uint8_t cls; uint16_t code; uint16_t word; };
    const Case cases[] = {
        {"success WC 0", reply("00000000", "03 40", "00 00 00"), SmbError::None, true, true, 0, 0, 0},
        {"success WC 1", reply("00000000", "03 40", "01 34 12 00 00"), SmbError::None, true, true, 0, 0, 0x1234},
        {"DOS error", reply("01 00 57 00", "03 00", "00 00 00"), SmbError::None, false, false, 1, 87, 0},
        {"NT error", reply("22 00 00 C0", "03 40", "00 00 00"), SmbError::None, false, true, 0, 0, 0},
        {"cut", reply("00000000", "03 40", "01 34"), SmbError::WordsBeyondPacket, false, false, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SmbReply r;
        ASSERT_EQ(parse_reply(c.bytes, kSmbSendStart, r), c.err) << c.what;
        if (c.err != SmbError::None)
            continue;
        EXPECT_EQ(r.ok, c.ok) << c.what;
        EXPECT_EQ(r.nt_status, c.nt) << c.what;
        EXPECT_EQ(r.error_class, c.cls) << c.what;
        EXPECT_EQ(r.error_code, c.code) << c.what;
        EXPECT_EQ(r.first_word, c.word) << c.what;
    }
    SmbReply r;
    EXPECT_EQ(parse_reply(cases[0].bytes, kSmbSendText, r), SmbError::WrongCommand);
    EXPECT_EQ(parse_reply(packet("D5", "", ""), kSmbSendStart, r), SmbError::NotAReply);
    EXPECT_EQ(parse_reply(cases[3].bytes, kSmbSendStart, r), SmbError::None);
    EXPECT_EQ(r.status, 0xC0000022u);
}
