// libFuzzer target: clang -fsanitize=fuzzer; see tests/fuzz/CMakeLists.txt.
// Any bytes as a page: the tokenizer's elements keep their rules, and the
// scan and the body text fill a bookmark without breaking it or the
// database's keyword and detail files.
#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "links/page_scanner.h"

#include "scripted_ui.h"
#include "temp_folder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

struct Fixture {
    Fixture() { tessaly::FileVersionLayer::instance().registerDatabaseFiles(); }
    tessaly::test::TempFolder folder;
    tessaly::test::ScriptedUi ui;
    tessaly::MessageManager messages{ui};
    tessaly::Database db{messages, folder.path()};
};

void require(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tessaly;
    static Fixture fixture;
    ElementList elements;
    tokenize({reinterpret_cast<const char*>(data), size}, elements);
    for (const std::string& element : elements) {
        require(!element.empty() && element.size() <= 4095 * 4); // 4095 characters
        require(element.find('\n') == std::string::npos);
        require(element.find('\r') == std::string::npos);
    }
    Record bookmark{bookmarkTable()};
    bookmark.setText(BookmarkField::Location, "http://fuzz.test/");
    scanPage(elements, size % 2 == 0 ? ScanMode::Test : ScanMode::Analysis,
             static_cast<std::int64_t>(size), dates::dayNumber(2026, 12, 7), bookmark, fixture.db);
    appendBodyText(elements, bookmark);
    require(bookmark.text(BookmarkField::Location) == "http://fuzz.test/");
    return 0;
}
