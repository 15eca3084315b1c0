#include "links/http_session.h"

#include "local_server.h"

#include "temp_folder.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

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

TEST_F(HttpSessionTest, AServerThatTricklesIsCutOffByTheWholeOpensBound)
{
    local.server.Get("/trickle", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("text/html", [](std::size_t, httplib::DataSink& s) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return s.write("x", 1); // ten bytes a second: never a stall
        });
    });
    HttpSession session{kAgent, HttpLimits{.stallSeconds = 1, .totalSeconds = 1}};
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(session.open(local.url("/trickle"), upTo(4096)));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
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

// Writes a key and a certificate for 127.0.0.1 that signs itself, so no
// system store trusts it.
void writeSelfSignedCertificate(const std::string& certificatePath, const std::string& keyPath)
{
    EVP_PKEY* key = EVP_RSA_gen(2048);
    X509* certificate = X509_new();
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(certificate, name);
    X509_sign(certificate, key, EVP_sha256());
    FILE* out = std::fopen(certificatePath.c_str(), "w");
    PEM_write_X509(out, certificate);
    std::fclose(out);
    out = std::fopen(keyPath.c_str(), "w");
    PEM_write_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(out);
    X509_free(certificate);
    EVP_PKEY_free(key);
}

TEST(HttpSessionTls, ACertificateNoStoreTrustsIsAFailedOpenWithItsReason)
{
    test::TempFolder folder;
    writeSelfSignedCertificate(folder.file("cert.pem"), folder.file("key.pem"));
    httplib::SSLServer server{folder.file("cert.pem").c_str(), folder.file("key.pem").c_str()};
    ASSERT_TRUE(server.is_valid());
    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<title>Secret</title>", "text/html");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread thread{[&] {
        server.listen_after_bind();
    }};
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    HttpSession session{kAgent, HttpLimits{.connectSeconds = 5, .stallSeconds = 5}};
    const bool opened = session.open("https://127.0.0.1:" + std::to_string(port) + "/");
    server.stop();
    thread.join();
    EXPECT_FALSE(opened);
    EXPECT_EQ(session.statusCode(), 0);
    EXPECT_NE(session.error().find("certificate"), std::string::npos) << session.error();
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
