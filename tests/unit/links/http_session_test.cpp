#include "links/http_session.h"

#include "environment_variable.h"
#include "local_server.h"
#include "raw_server.h"
#include "temp_folder.h"
#include "tls_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace tessaly {
namespace {

constexpr const char* kAgent = "Tessaly-2000 2.200000b";

using test::LocalServer;
using test::SilentPort;

class HttpSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        local.server.Get("/page",
                         [this](const httplib::Request& request, httplib::Response& response) {
                             agent = request.get_header_value("User-Agent");
                             response.set_header("Expires", "Thu, 01 Dec 1994 16:00:00 GMT");
                             response.set_header("Last-Modified", "not a date");
                             response.set_content("<title>Hello</title>", "text/html");
                         });
        local.server.Get("/one", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/two", 301);
        });
        local.server.Get("/two", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/page", 302);
        });
        local.server.Get("/loop", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/loop", 302);
        });
        local.server.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("404 Not Found", "text/plain");
        });
        local.server.Get("/endless", [](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("text/html",
                                                  [](std::size_t, httplib::DataSink& sink) {
                                                      const std::string block(1024, 'x');
                                                      return sink.write(block.data(), block.size());
                                                  });
        });
    }

    // Reads at most `limit` bytes of the body, as the link test does.
    HttpSession::BodyReader upTo(std::size_t limit)
    {
        return [this, limit](std::string_view block) {
            body += block.substr(0, limit - body.size());
            return body.size() < limit;
        };
    }

    LocalServer local;
    std::string agent;
    std::string body;
};

TEST_F(HttpSessionTest, AnAnswerGivesItsStatusHeadersAndBody)
{
    HttpSession session{kAgent};
    ASSERT_TRUE(session.open(local.url("/page"), upTo(4096))) << session.error();
    EXPECT_EQ(session.statusCode(), 200);
    EXPECT_EQ(session.finalUrl(), local.url("/page"));
    EXPECT_EQ(session.expires(), "Thu, 01 Dec 1994 16:00:00 GMT");
    EXPECT_EQ(session.lastModified(), "not a date");
    EXPECT_EQ(session.contentType(), "text/html");
    EXPECT_EQ(session.contentLength(), "20");
    EXPECT_EQ(session.serverReply(), "");
    EXPECT_EQ(body, "<title>Hello</title>");
    EXPECT_EQ(agent, kAgent);

    ASSERT_TRUE(session.open(local.url("/missing")));
    EXPECT_EQ(session.statusCode(), 404) << "an error status is still an answer";
    EXPECT_EQ(session.expires(), "") << "nothing is left over from the previous open";
}

TEST_F(HttpSessionTest, RedirectionsAreFollowedButNotForever)
{
    HttpSession session{kAgent};
    ASSERT_TRUE(session.open(local.url("/one"), upTo(4096))) << session.error();
    EXPECT_EQ(session.statusCode(), 200);
    EXPECT_EQ(session.finalUrl(), local.url("/page"));
    EXPECT_EQ(body, "<title>Hello</title>");

    HttpSession bounded{kAgent, HttpLimits{.maxRedirections = 5}};
    EXPECT_FALSE(bounded.open(local.url("/loop")));
    EXPECT_NE(bounded.error(), "");
}

// Pages whose head arrives whole and whose body then goes wrong: the
// status is in, so the open succeeds with what arrived, and the body's
// trouble is bounded by the stall time, not by the whole open's bound.
TEST(HttpSessionBody, AStatusLineIsAnAnswerWhateverBecomesOfTheBody)
{
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";
    const std::string title = "<title>Still here</title>";
    test::RawServer stalls{[&](test::RawServer::Connection& c) {
        c.send(head + "Content-Length: 5000\r\n\r\n" + title);
        c.pause(std::chrono::seconds(60));
    }};
    test::RawServer closesEarly{[&](test::RawServer::Connection& c) {
        c.send(head + "Content-Length: 5000\r\n\r\n" + title);
    }};
    test::RawServer trickles{[&](test::RawServer::Connection& c) {
        c.send(head + "Content-Length: 5000\r\n\r\n" + title);
        while (c.pause(std::chrono::milliseconds(200))) {
            c.send("x"); // five bytes a second: never a stall by the byte rate
        }
    }};
    test::RawServer stallsInTheHead{[&](test::RawServer::Connection& c) {
        c.send(head);
        c.pause(std::chrono::seconds(60));
    }};
    for (const test::RawServer* server : {&stalls, &closesEarly, &trickles}) {
        HttpSession session{kAgent, HttpLimits{.stallSeconds = 1, .totalSeconds = 120}};
        std::string body;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_TRUE(session.open(server->url(), [&](std::string_view block) {
            body += block;
            return body.size() < 4096;
        })) << session.error();
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        EXPECT_EQ(session.statusCode(), 200);
        EXPECT_TRUE(body.starts_with(title)) << body;
        EXPECT_EQ(session.contentType(), "text/html");
        EXPECT_NE(session.readError(), "");
    }

    HttpSession session{kAgent, HttpLimits{.stallSeconds = 1, .totalSeconds = 120}};
    EXPECT_TRUE(session.open(stallsInTheHead.url())) << session.error();
    EXPECT_EQ(session.statusCode(), 200) << "the status line came before the stall";
    EXPECT_NE(session.readError(), "");
}

TEST(HttpSessionBody, ARedirectionToADeadServerIsNoAnswer)
{
    test::SilentPort dead;
    test::RawServer redirects{[&](test::RawServer::Connection& c) {
        c.send("HTTP/1.1 302 Found\r\nLocation: " + dead.url() + "\r\nContent-Length: 0\r\n\r\n");
    }};
    HttpSession session{kAgent, HttpLimits{.stallSeconds = 1}};
    EXPECT_FALSE(session.open(redirects.url()));
    EXPECT_NE(session.error(), "");
}

TEST_F(HttpSessionTest, ABodyThatNeverEndsIsReadOnlyAsFarAsAsked)
{
    HttpSession session{kAgent};
    ASSERT_TRUE(session.open(local.url("/endless"), upTo(4096))) << session.error();
    EXPECT_EQ(session.statusCode(), 200);
    EXPECT_EQ(body.size(), 4096U);
}

TEST_F(HttpSessionTest, UnreachableAndSilentServersFailWithAReason)
{
    HttpSession session{kAgent, HttpLimits{.connectSeconds = 2, .stallSeconds = 1}};
    EXPECT_FALSE(session.open("http://127.0.0.1:1/"));
    EXPECT_NE(session.error(), "");

    SilentPort silent;
    EXPECT_FALSE(session.open(silent.url()));
    EXPECT_NE(session.error(), "");

    EXPECT_FALSE(session.open("gopher://127.0.0.1/"));
    EXPECT_NE(session.error(), "");
}

TEST(HttpSessionTls, ACertificateIsTrustedOnlyWhenItsAuthorityIsNamed)
{
    test::TempFolder folder;
    test::LocalTlsServer server{folder.path()};
    server.server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<title>Secret</title>", "text/html");
    });
    HttpSession session{kAgent, HttpLimits{.connectSeconds = 5, .stallSeconds = 5}};
    {
        // No system store trusts it: a failed open that says why.
        const test::EnvironmentVariable bundle{"CURL_CA_BUNDLE", nullptr};
        EXPECT_FALSE(session.open(server.url("/")));
        EXPECT_EQ(session.statusCode(), 0);
        EXPECT_NE(session.error().find("certificate"), std::string::npos) << session.error();
    }
    const test::EnvironmentVariable trusted{"CURL_CA_BUNDLE", server.certificate().c_str()};
    EXPECT_TRUE(session.open(server.url("/"))) << session.error();
    EXPECT_EQ(session.statusCode(), 200);
}

TEST_F(HttpSessionTest, AbortEndsAWaitingOpenAtOnceAndRefusesMore)
{
    SilentPort silent;
    HttpSession session{kAgent, HttpLimits{.connectSeconds = 60, .stallSeconds = 60}};
    std::thread canceller([&session] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        session.abort();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(session.open(silent.url()));
    canceller.join();
    // Far below the minute the limits allow: the abort, not a time-out, ended it.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_TRUE(session.aborted());
    EXPECT_EQ(session.error(), "Cancelled");
    EXPECT_FALSE(session.open(local.url("/page")));
}

// Addresses as people type them: what must be encoded is encoded on the way
// out, the rest goes as it stands.
TEST_F(HttpSessionTest, AddressesAreSentEncodedAsTheyWereMeant)
{
    std::string target;
    local.server.Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
        target = request.target;
        response.set_content("<title>Found</title>", "text/html");
    });
    HttpSession session{kAgent};
    ASSERT_TRUE(session.open(local.url("/ok?q=a b&r=\"<x>\""))) << session.error();
    EXPECT_EQ(session.statusCode(), 200);
    EXPECT_EQ(target, "/ok?q=a%20b&r=%22%3Cx%3E%22");
    EXPECT_EQ(session.finalUrl(), local.url("/ok?q=a b&r=\"<x>\""))
        << "the address stays as it was written";

    ASSERT_TRUE(session.open(local.url("/gr\xC3\xBC\xC3\x9F"
                                       "e?%41=1")))
        << session.error();
    EXPECT_EQ(target, "/gr%C3%BC%C3%9Fe?%41=1") << "what is encoded already is left alone";
}

// A host name in another script goes out in its ASCII form. The local
// server stands in as the proxy, so the name needs no real lookup.
TEST_F(HttpSessionTest, AnInternationalHostNameIsAskedForInItsAsciiForm)
{
    std::string host;
    local.server.Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
        host = request.get_header_value("Host");
        response.set_content("<title>Found</title>", "text/html");
    });
    ::setenv("http_proxy", local.url("").c_str(), 1);
    ::setenv("no_proxy", "", 1);
    HttpSession session{kAgent};
    const bool opened = session.open("http://b\xC3\xBC"
                                     "cher.example/a b");
    ::unsetenv("http_proxy");
    ::unsetenv("no_proxy");
    ASSERT_TRUE(opened) << session.error();
    EXPECT_EQ(session.statusCode(), 200);
    EXPECT_EQ(host, "xn--bcher-kva.example");
}

} // namespace
} // namespace tessaly
