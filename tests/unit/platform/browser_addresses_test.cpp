#include "framework/json.h"
#include "platform/browser_addresses.h"

#include "temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <lz4.h>

namespace tessaly {
namespace {

std::string mozLz4(const std::string& text)
{
    std::string out{"mozLz40\0", 8};
    const auto size = static_cast<std::uint32_t>(text.size());
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((size >> (8U * static_cast<unsigned>(i))) & 0xFFU));
    }
    std::string block(static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(text.size()))),
                      '\0');
    const int n = LZ4_compress_default(text.data(), block.data(), static_cast<int>(text.size()),
                                       static_cast<int>(block.size()));
    out.append(block.data(), static_cast<std::size_t>(n));
    return out;
}

const char* const kSession = R"({"windows":[
  {"selected":2,"tabs":[
     {"index":1,"entries":[{"url":"https://first.example/","title":"First"}]},
     {"index":2,"entries":[{"url":"https://old.example/","title":"Old"},
                           {"url":"https://news.example/today","title":"News \u2014 today"}]}]},
  {"selected":1,"tabs":[{"index":1,"entries":[{"url":"https://news.example/today","title":"Again"}]}]},
  {"selected":1,"tabs":[{"index":1,"entries":[{"url":"about:blank","title":""}]}]}
]})";

TEST(BrowserAddresses, TheSelectedTabOfEachWindowOncePerAddress)
{
    const auto candidates = sessionCandidates(kSession);
    EXPECT_EQ(candidates, (std::vector<BrowserCandidate>{{"Again", "https://news.example/today"},
                                                         {"", "about:blank"}}))
        << "a later window with the same address replaces the earlier one";
    EXPECT_TRUE(sessionCandidates("{not json").empty());
    EXPECT_TRUE(sessionCandidates(R"({"windows":[{"tabs":[]}]})").empty());
}

TEST(BrowserAddresses, FirefoxProfilesAreReadAndDamagedFilesSkipped)
{
    test::TempFolder home;
    const auto profile = std::filesystem::path(home.path()) / ".mozilla/firefox/abc.default";
    std::filesystem::create_directories(profile / "sessionstore-backups");
    home.write(".mozilla/firefox/abc.default/sessionstore-backups/recovery.jsonlz4",
               mozLz4(kSession));
    const auto other = std::filesystem::path(home.path()) / ".mozilla/firefox/broken";
    std::filesystem::create_directories(other / "sessionstore-backups");
    std::string damaged = mozLz4(kSession);
    damaged.resize(damaged.size() / 2);
    home.write(".mozilla/firefox/broken/sessionstore-backups/recovery.jsonlz4", damaged);

    const auto candidates = firefoxCandidates(home.path());
    ASSERT_EQ(candidates.size(), 2U);
    EXPECT_EQ(candidates[0].title, "Again");

    EXPECT_FALSE(
        readMozLz4(home.file(".mozilla/firefox/broken/sessionstore-backups/recovery.jsonlz4")));
    EXPECT_FALSE(readMozLz4(home.write("foreign", "PK\x03\x04 not ours at all")));
    std::string huge{"mozLz40\0", 8};
    huge += std::string("\xff\xff\xff\x7f", 4) + "xxxx";
    EXPECT_FALSE(readMozLz4(home.write("huge", huge))) << "a claimed size beyond reason";
    EXPECT_TRUE(firefoxCandidates(home.file("nowhere")).empty());
}

TEST(Json, ReadsWhatBrowsersWriteAndRefusesTheRest)
{
    const auto value =
        JsonValue::parse(R"({"a":[1,2.5,-3e2,true,false,null],"b":"\ud83d\ude00\n"})");
    ASSERT_TRUE(value);
    EXPECT_EQ((*value)["a"].size(), 6U);
    EXPECT_EQ((*value)["a"][2].number(), -300);
    EXPECT_EQ((*value)["b"].string(), "\xF0\x9F\x98\x80\n");
    EXPECT_EQ((*value)["missing"]["deeper"][3].string(), "");
    for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "\"open", "[1] 2", "nul"}) {
        EXPECT_FALSE(JsonValue::parse(bad)) << bad;
    }
    EXPECT_FALSE(JsonValue::parse(std::string(100000, '['))) << "deep nesting is refused";
}

} // namespace
} // namespace tessaly
