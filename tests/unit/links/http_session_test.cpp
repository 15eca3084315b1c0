#include "links/http_session.h"

#include "local_server.h"

#include <gtest/gtest.h>

#include <chrono>
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

} // namespace
} // namespace tessaly
