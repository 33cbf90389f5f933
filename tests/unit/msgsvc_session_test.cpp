// Unit tests for session service packets and the stream splitter.
#include "msgsvc/core/session.h"

#include "tests/unit/msgsvc_hex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace msgsvc;

namespace {

const std::vector<uint8_t> kRequest = hex("81 00 00 44 | 20 \"FEEPEMFGEJELFAEFEFFCCACACACACAAD\" 00"
                                          " | 20 \"FDEFEOEEEFFCFAEDCACACACACACACAAA\" 00");

std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

TEST(msgsvcSessionPackets, MatchKnownBytes)
{
    EXPECT_EQ(build_session_request({"TOLVIKPEER", 0x03}, {"SENDERPC", 0x00}), kRequest);
    EXPECT_EQ(build_positive_response(), hex("82 00 00 00"));
    EXPECT_EQ(build_negative_response(kSessionCalledNotPresent), hex("83 00 00 01 82"));

    const auto req = parse_session_request(ByteView(kRequest).sub(4));
    ASSERT_TRUE(req);
    EXPECT_EQ(req->called, (NetbiosName{"TOLVIKPEER", 0x03}));
    EXPECT_EQ(req->calling, (NetbiosName{"SENDERPC", 0x00}));
    EXPECT_EQ(parse_negative_response(hex("8F")), 0x8F);
}

TEST(msgsvcSessionPackets, RequestAndNegativeResponseRejectBadPayloads)
{
    const ByteView payload = ByteView(kRequest).sub(4);
    std::vector<uint8_t> bad_name(payload.data, payload.data + payload.size);
    bad_name[40] = 'Z';
    std::vector<uint8_t> longer = bad_name;
    longer[40] = 'A';
    longer.push_back(0);
    EXPECT_FALSE(parse_session_request(bad_name));
    EXPECT_FALSE(parse_session_request(longer));
    EXPECT_FALSE(parse_session_request(payload.sub(0, 67)));
    EXPECT_FALSE(parse_negative_response({}));
    EXPECT_FALSE(parse_negative_response(hex("82 00")));
}

TEST(msgsvcSessionHeader, LengthUsesSeventeenthBitAndTypeRules)
{
    struct Case { const char *bytes; uint8_t type; uint32_t length; bool valid; };
    const Case cases[] = {
        {"00 00 00 23", 0x00, 0x23, true},     {"00 01 00 00", 0x00, 0x10000, true},
        {"00 01 FF FF", 0x00, 0x1FFFF, true},  {"00 FE 00 10", 0x00, 0x10, true},  // other flag bits ignored
        {"81 00 00 44", 0x81, 0x44, true},     {"81 00 00 45", 0x81, 0x45, false},
        {"82 00 00 00", 0x82, 0, true},        {"82 00 00 01", 0x82, 1, false},
        {"83 00 00 01", 0x83, 1, true},        {"83 00 00 00", 0x83, 0, false},
        {"84 00 00 06", 0x84, 6, true},        {"85 00 00 00", 0x85, 0, true},
        {"85 01 00 00", 0x85, 0x10000, false}, {"86 00 00 00", 0x86, 0, false},
        {"FF 00 00 00", 0xFF, 0, false},
    };
    for (const Case &c : cases) {
        const auto h = parse_session_header(hex(c.bytes));
        ASSERT_TRUE(h) << c.bytes;
        EXPECT_EQ(h->type, c.type) << c.bytes;
        EXPECT_EQ(h->length, c.length) << c.bytes;
        EXPECT_EQ(session_header_valid(*h), c.valid) << c.bytes;
    }
    EXPECT_FALSE(parse_session_header(hex("00 00 00")));
}

TEST(msgsvcSessionHeader, BuildEncodesSeventeenBitsAndRefusesMore)
{
    std::vector<uint8_t> out;
    EXPECT_TRUE(append_session_header(out, kSessionMessage, 0x1FFFF));
    EXPECT_EQ(out, hex("00 01 FF FF"));
    EXPECT_FALSE(append_session_header(out, kSessionMessage, 0x20000));
    EXPECT_EQ(out.size(), 4u);

    const std::vector<uint8_t> big(0x10002, 0xAB);
    const auto framed = build_session_message(big);
    ASSERT_EQ(framed.size(), big.size() + 4);
    EXPECT_EQ(std::vector<uint8_t>(framed.begin(), framed.begin() + 4), hex("00 01 00 02"));
    EXPECT_TRUE(build_session_message(std::vector<uint8_t>(0x20000)).empty());
}

TEST(msgsvcFrameSplitter, SameFramesWhateverTheChunking)
{
    const auto stream = cat({kRequest, hex("85 00 00 00"), hex("00 00 00 03 01 02 03"), hex("00 00 00 00"),
                             hex("85 00 00 00"), hex("00 00 00 02 AA BB")});
    for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5}, stream.size()}) {
        FrameSplitter s = make_frame_splitter(68);
        std::vector<SessionFrame> frames;
        for (std::size_t pos = 0; pos < stream.size(); pos += chunk)
            ASSERT_EQ(split_frames(s, ByteView(stream).sub(pos, chunk), frames), SplitStatus::Ok);
        ASSERT_EQ(frames.size(), 6u) << "chunk " << chunk;
        EXPECT_EQ(frames[0].type, kSessionRequest);
        EXPECT_EQ(frames[0].payload, std::vector<uint8_t>(kRequest.begin() + 4, kRequest.end()));
        EXPECT_EQ(frames[1].type, kSessionKeepalive);
        EXPECT_EQ(frames[2].payload, hex("01 02 03"));
        EXPECT_TRUE(frames[3].payload.empty());
        EXPECT_EQ(frames[5].payload, hex("AA BB"));
        EXPECT_EQ(s.header_have, 0u) << "nothing left over";
    }
}

TEST(msgsvcFrameSplitter, ErrorsStopTheStreamForGood)
{
    struct Case { const char *what; std::vector<uint8_t> bytes; SplitStatus want; std::size_t frames_before; };
    const Case cases[] = {
        {"at the cap", cat({hex("00 00 00 08"), std::vector<uint8_t>(8)}), SplitStatus::Ok, 1},
        {"over the cap", hex("00 00 00 09"), SplitStatus::Oversize, 0},
        {"17th bit", hex("00 01 00 00"), SplitStatus::Oversize, 0},
        {"unknown type", hex("85 00 00 00 42 00 00 00"), SplitStatus::BadHeader, 1},
        {"short request", hex("81 00 00 10"), SplitStatus::BadHeader, 0},
        {"keepalive with body", hex("00 00 00 00 85 00 00 01 00"), SplitStatus::BadHeader, 1},
    };
    for (const Case &c : cases) {
        FrameSplitter s = make_frame_splitter(8);
        std::vector<SessionFrame> frames;
        EXPECT_EQ(split_frames(s, c.bytes, frames), c.want) << c.what;
        EXPECT_EQ(frames.size(), c.frames_before) << c.what;
        if (c.want != SplitStatus::Ok) {
            EXPECT_EQ(split_frames(s, hex("85 00 00 00"), frames), c.want) << c.what;
            EXPECT_EQ(frames.size(), c.frames_before) << c.what << ": frames after the error";
        }
    }
}

TEST(msgsvcFrameSplitter, AcceptsSeventeenBitFramesWhenAllowed)
{
    FrameSplitter s = make_frame_splitter(1u << 20);
    EXPECT_EQ(s.max_payload, kMaxSessionLength);
    const auto frame = build_session_message(std::vector<uint8_t>(kMaxSessionLength, 0x5A));
    std::vector<SessionFrame> frames;
    EXPECT_EQ(split_frames(s, frame, frames), SplitStatus::Ok);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].payload.size(), kMaxSessionLength);
}
