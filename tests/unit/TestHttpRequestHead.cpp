// The check of a request head before the observers' server hands the connection on.

#include "output/HttpRequestHead.h"

#include <gtest/gtest.h>

#include <string>

namespace vexar::test {
namespace {

HttpHeadStatus Read(const std::string& text, HttpRequestHead& head, HttpHeadLimits limits = {}) {
    return ReadRequestHead(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
        limits, head);
}

TEST(HttpRequestHead, TakesPlainRequestsAndRefusesOddOnes) {
    const std::string many = [] {
        std::string s = "GET / HTTP/1.1\r\n";
        for (int i = 0; i < 49; ++i) {
            s += "X-" + std::to_string(i) + ": a\r\n";
        }
        return s + "\r\n";
    }();
    const struct {
        std::string text;
        HttpHeadStatus expected;
    } cases[] = {
        {"GET /?token=a%2Fb HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\n", HttpHeadStatus::Complete},
        {"GET / HTTP/1.0\r\n\r\nextra body bytes", HttpHeadStatus::Complete},
        {"GET / HTTP/1.1\r\nHost: x\r\n", HttpHeadStatus::Incomplete},
        {"GE", HttpHeadStatus::Incomplete},
        {"GET / HTTP/1.1\nHost: x\n\n", HttpHeadStatus::Malformed},        // bare line feeds
        {"GET / HTTP/2.0\r\n\r\n", HttpHeadStatus::Malformed},             // not HTTP/1.x
        {"GET /  HTTP/1.1\r\n\r\n", HttpHeadStatus::Malformed},            // two blanks
        {"GET http://x/ HTTP/1.1\r\n\r\n", HttpHeadStatus::Malformed},     // absolute form
        {"G(T / HTTP/1.1\r\n\r\n", HttpHeadStatus::Malformed},             // not a token
        {"GET / HTTP/1.1\r\nHost : x\r\n\r\n", HttpHeadStatus::Malformed}, // blank before colon
        {"GET / HTTP/1.1\r\n folded\r\n\r\n", HttpHeadStatus::Malformed},
        {"GET / HTTP/1.1\r\nA: \x01\r\n\r\n", HttpHeadStatus::Malformed},
        {std::string("GET / HTTP/1.1\r\nA: b\0c", 23), HttpHeadStatus::Malformed},
        {"GET /" + std::string(9000, 'a') + " HTTP/1.1\r\n\r\n", HttpHeadStatus::TooLarge},
        {many, HttpHeadStatus::TooManyHeaders},
    };
    for (const auto& c : cases) {
        HttpRequestHead head;
        EXPECT_EQ(Read(c.text, head), c.expected) << c.text.substr(0, 60);
    }
}

TEST(HttpRequestHead, ReadsTargetFieldsAndLength) {
    HttpRequestHead head;
    const std::string text = "GET /ws?x=1&token=s%20p+q HTTP/1.1\r\nHost: [::1]\r\nConnection: keep-alive, "
                             "Upgrade\r\nUPGRADE:  websocket \r\nContent-Length: 0\r\n\r\nnext";
    ASSERT_EQ(Read(text, head), HttpHeadStatus::Complete);
    EXPECT_EQ(head.method, "GET");
    EXPECT_EQ(head.path, "/ws");
    EXPECT_EQ(QueryValue(head.query, "token"), "s p q");
    EXPECT_EQ(QueryValue(head.query, "none"), "");
    EXPECT_EQ(head.length, text.size() - 4);
    EXPECT_TRUE(head.FieldHasToken("connection", "upgrade"));
    EXPECT_EQ(head.Field("upgrade"), "websocket");
    EXPECT_FALSE(head.HasBody());
    EXPECT_EQ(HostAuthority(head.Field("host")), "[::1]:80");
    ASSERT_EQ(Read("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", head), HttpHeadStatus::Complete);
    EXPECT_TRUE(head.HasBody());
}

TEST(HttpRequestHead, ComparesOriginsHostsAndSecrets) {
    EXPECT_EQ(OriginAuthority("http://127.0.0.1:8080"), "127.0.0.1:8080");
    EXPECT_EQ(OriginAuthority("HTTPS://Vessel.Local"), "vessel.local:443");
    EXPECT_EQ(OriginAuthority("null"), "");
    EXPECT_EQ(OriginAuthority("http://a/b"), "");
    for (const char* host : {"127.0.0.1:8080", "localhost", "LOCALHOST:80", "[::1]:8080", "127.1.2.3"}) {
        EXPECT_TRUE(IsLoopbackHost(host)) << host;
    }
    for (const char* host :
         {"", "evil.example:8080", "127.0.0.1.evil.example", "1127.0.0.1", "127.0.0", "10.0.0.1"}) {
        EXPECT_FALSE(IsLoopbackHost(host)) << host;
    }
    EXPECT_TRUE(SecretsEqual("0123abcd", "0123abcd"));
    EXPECT_FALSE(SecretsEqual("0123abcd", "0123abce"));
    EXPECT_FALSE(SecretsEqual("0123abcd", "0123abc"));
    EXPECT_FALSE(SecretsEqual("", "x"));
}

} // namespace
} // namespace vexar::test
