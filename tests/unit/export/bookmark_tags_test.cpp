#include "export/bookmark_tags.h"

#include <gtest/gtest.h>

#include <string>

namespace tessaly {
namespace {

TEST(BookmarkTagsTest, AnAddressGetsItsWordsInSequenceOrderWhateverOrderTheyCameIn)
{
    BookmarkTags tags;
    tags.add("HTTP://A/", 3, "third");
    tags.add("HTTP://B/", 1, "other");
    tags.add("HTTP://A/", 1, "first");
    tags.add("HTTP://C/", 1, "more");
    tags.add("HTTP://A/", 2, "second");
    tags.add("HTTP://A/", 2, "second too"); // the same number: after the first of it
    EXPECT_EQ(tags.find("HTTP://A/"), "first,second,second too,third");
    EXPECT_EQ(tags.find("HTTP://B/"), "other");
    EXPECT_EQ(tags.find("HTTP://C/"), "more");
    EXPECT_EQ(tags.size(), 3U);
}

TEST(BookmarkTagsTest, OnlyTheWholeAddressFindsTags)
{
    BookmarkTags empty;
    EXPECT_EQ(empty.find("HTTP://A/"), "");
    BookmarkTags tags;
    tags.add("HTTP://A/", 1, "news");
    EXPECT_EQ(tags.find("HTTP://A"), "");
    EXPECT_EQ(tags.find("HTTP://A/X"), "");
    EXPECT_EQ(tags.find(""), "");
    EXPECT_EQ(tags.find("HTTP://A/"), "news");
}

TEST(BookmarkTagsTest, ManyAddressesKeepTheirOwnTagsAsTheTableGrows)
{
    BookmarkTags tags;
    constexpr int kAddresses = 20000;
    // Two rows each, the second pass after every first one: each entry is
    // moved to the end of the block when it gets its second word.
    for (int pass = 1; pass <= 2; ++pass) {
        for (int i = 0; i < kAddresses; ++i) {
            tags.add("HTTPS://SITE" + std::to_string(i) + ".EXAMPLE/", 3 - pass,
                     "w" + std::to_string(i) + "-" + std::to_string(pass));
        }
    }
    ASSERT_EQ(tags.size(), static_cast<std::size_t>(kAddresses));
    for (int i = 0; i < kAddresses; i += 997) {
        const std::string n = std::to_string(i);
        EXPECT_EQ(tags.find("HTTPS://SITE" + n + ".EXAMPLE/"), "w" + n + "-2,w" + n + "-1");
    }
}

TEST(BookmarkTagsTest, AnEntryMovedForALaterRowIsNeverTakenForTheAddress)
{
    BookmarkTags tags;
    tags.add("HTTP://A/", 1, "a1");
    tags.add("HTTP://B/", 1, "b1");
    tags.add("HTTP://C/", 1, "c1");
    tags.add("HTTP://B/", 2, "b2"); // B's entry moves after C's
    // Asked in stored order: after A the old place of B comes next.
    EXPECT_EQ(tags.find("HTTP://A/"), "a1");
    EXPECT_EQ(tags.find("HTTP://B/"), "b1,b2");
    EXPECT_EQ(tags.find("HTTP://C/"), "c1");
    EXPECT_EQ(tags.find("HTTP://B/"), "b1,b2");
    EXPECT_EQ(tags.find("HTTP://D/"), "");
    EXPECT_EQ(tags.find("HTTP://A/"), "a1");
    EXPECT_EQ(tags.find("HTTP://A/"), "a1") << "asked twice in a row";
    // A row added after a find() may move what the next find() would try.
    tags.add("HTTP://A/", 2, "a2");
    EXPECT_EQ(tags.find("HTTP://B/"), "b1,b2");
    EXPECT_EQ(tags.find("HTTP://A/"), "a1,a2");
}

} // namespace
} // namespace tessaly
