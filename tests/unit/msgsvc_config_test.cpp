// Unit tests for the reading of msgsvc.ini text: every key, and values that do not fit or do not parse.
#include "msgsvc/core/config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace msgsvc;

namespace {

struct Parsed {
    ServiceConfig c;
    std::vector<std::string> errors;
};

Parsed parse(const std::string &text)
{
    Parsed p;
    p.c.dir = "C:\\tolvik\\";
    p.errors = parse_config(text, p.c);
    return p;
}

} // namespace

TEST(msgsvcConfig, ReadsEveryKeyInAnyCaseWithCommentsQuotesAndCrLf)
{
    const Parsed p = parse("\xEF\xBB\xBF; written by hand\r\n[Service]\r\n  Address = 127.0.0.3 \r\nport=1139\n"
                           "user=bob\ncomputer=BOBPC\nnames=ONE, TWO;THREE\nallow=127.0.0.2 10.0.0.0/8\nrate=2\n"
                           "connections=40\npersource=3\nidle=3\nsession=60\npopups=5\nnameservice=No\n"
                           "nameport=2137\nlog=\"D:\\logs\\msgsvc.log\"\nlogsize=64\n# resolving\n[resolve]\n"
                           "lmhosts=hosts.txt\nnameservers=127.0.0.10, 127.0.0.11:1137\nbroadcast=off\ndns=0\n"
                           "timeout=2000\nstyle=single\n");
    EXPECT_TRUE(p.errors.empty()) << p.errors[0];
    const ServiceConfig &c = p.c;
    EXPECT_EQ(c.address, 0x7F000003u);
    EXPECT_EQ(c.port, 1139);
    EXPECT_EQ(c.names(), (std::vector<std::string>{"bob", "BOBPC", "ONE", "TWO", "THREE"}));
    EXPECT_TRUE(network_allows(c.allow, 0x0A010203));
    EXPECT_FALSE(network_allows(c.allow, 0x7F000003));
    EXPECT_EQ(c.rate, 2u);
    EXPECT_EQ(c.connections, 40u);
    EXPECT_EQ(c.per_source, 3u);
    EXPECT_EQ(c.idle_ms, 3000u);
    EXPECT_EQ(c.session_ms, 60000u);
    EXPECT_EQ(c.popups, 5u);
    EXPECT_FALSE(c.name_service);
    EXPECT_EQ(c.name_port, 2137);
    EXPECT_EQ(c.log_path, "D:\\logs\\msgsvc.log");
    EXPECT_EQ(c.log_kb, 64u);
    EXPECT_EQ(c.lmhosts_path, "C:\\tolvik\\hosts.txt");
    ASSERT_EQ(c.name_servers.size(), 2u);
    EXPECT_EQ(c.name_servers[0].port, 137);  // where a name server listens, whatever our own name port
    EXPECT_EQ(c.name_servers[1].port, 1137);
    EXPECT_FALSE(c.broadcast);
    EXPECT_FALSE(c.dns);
    EXPECT_EQ(c.timeout_ms, 2000u);
    EXPECT_EQ(c.style, SendStyle::SingleWhenShort);
}

TEST(msgsvcConfig, DefaultsHoldForAMissingFileAndEmptyValues)
{
    const Parsed p = parse("[service]\nrate=\nallow=\nlog=\n");
    EXPECT_TRUE(p.errors.empty());
    EXPECT_EQ(p.c.rate, 10u);
    EXPECT_TRUE(network_allows(p.c.allow, 0xC0A80001));
    EXPECT_EQ(p.c.log_path, "");  // an empty log= writes no log
    const Parsed none = parse("");
    EXPECT_EQ(none.c.log_path, "C:\\tolvik\\msgsvc.log");
    EXPECT_EQ(none.c.lmhosts_path, "C:\\tolvik\\lmhosts");
    EXPECT_EQ(none.c.per_source, 4u);
}

TEST(msgsvcConfig, ValuesThatDoNotFitOrParseAreErrorsNeverWidened)
{
    struct Case { std::string text, error; };
    const Case cases[] = {
        {"[service]\nrate=ten", "line 2: rate=ten: not a number from 0 to 100000"},
        {"[service]\nport=65536", "line 2: port=65536: not a number from 1 to 65535"},
        {"[service]\nidle=99999999999", "line 2: idle=99999999999: not a number from 1 to 3600"},
        {"[service]\nconnections=-1", "line 2: connections=-1: not a number from 1 to 200"},
        {"[service]\naddress=localhost", "line 2: address=localhost: not an IPv4 address or *"},
        {"[service]\nallow=127.0.0.2, 10.1.2.0/2x", "line 2: allow=127.0.0.2, 10.1.2.0/2x: not a list of networks"},
        {"[service]\nuser=ABCDEFGHIJKLMNOP", "line 2: user=ABCDEFGHIJKLMNOP: not a name of 1 to 15 characters"},
        {"[service]\nnames=OK, BAD\x01", "line 2: names=OK, BAD\x01: \"BAD\x01\" is not a name"},
        {"[service]\nnameservice=maybe", "line 2: nameservice=maybe: not yes or no"},
        {"[resolve]\nnameservers=127.0.0.1:0", "line 2: nameservers=127.0.0.1:0: \"127.0.0.1:0\" is not"},
        {"[resolve]\nstyle=fast", "line 2: style=fast: not multi or single"},
        {"[service]\nrate=1\nRATE=2", "line 3: rate is given twice"},
        {"[service]\nalow=127.0.0.1", "line 2: unknown key alow in [service]"},
        {"[servce]\nallow=127.0.0.1", "line 1: unknown section [servce]"},
        {"rate=1", "line 1: a key before [service] or [resolve]"},
        {"[service]\nrate 5", "line 2: \"rate 5\" is not key=value"},
        {std::string("[service]\nrate=1\0", 17), "line 2: holds a NUL byte"},
        {"[service]\nallow=" + std::string(40, '1') + "x", "line 2: allow=" + std::string(40, '1') + "...: not"},
        {std::string(kMaxConfigText + 1, ';'), "longer than 65536 bytes"},
    };
    for (const Case &c : cases) {
        const Parsed p = parse(c.text);
        ASSERT_EQ(p.errors.size(), 1u) << c.text;
        EXPECT_EQ(p.errors[0].substr(0, c.error.size()), c.error);
        EXPECT_EQ(p.c.rate, c.text.find("RATE") == std::string::npos ? 10u : 1u) << "the default stays: " << c.text;
        EXPECT_EQ(p.c.allow.size(), 4u) << "the allow list stays the default: " << c.text;
    }
}

TEST(msgsvcConfig, AnAllowListOfAnyLengthIsReadWhole)
{
    // 2037 bytes of addresses and blanks, then a /32: a reader that stops at 2047 bytes sees "96.0.0.1/3".
    std::string list;
    for (int i = 0; i < 203; ++i)
        list += "127.0.0.2,";
    list += std::string(7, ' ') + "96.0.0.1/32";
    const Parsed p = parse("[service]\nallow=" + list + "\n");
    ASSERT_TRUE(p.errors.empty());
    EXPECT_EQ(p.c.allow.size(), 204u);
    EXPECT_FALSE(network_allows(p.c.allow, 0x7F000003));
    EXPECT_TRUE(network_allows(p.c.allow, 0x60000001));
}
