#include "core/file_version.h"

#include "core/tables.h"
#include "framework/text.h"

namespace tessaly {

FileVersionLayer& FileVersionLayer::instance()
{
    static FileVersionLayer layer;
    return layer;
}

std::string FileVersionLayer::storageName(const TableDef& table)
{
    if (table.container == "URLDATA") {
        return "URLDATA\\!" + std::string{table.table};
    }
    return std::string{table.container};
}

void FileVersionLayer::addDriver(std::string_view driver)
{
    const std::lock_guard lock{mutex_};
    calls_.push_back("ds_AddDriver(" + std::string{driver} + ")");
}

void FileVersionLayer::ignoreDriver(std::string_view driver, int value)
{
    const std::lock_guard lock{mutex_};
    calls_.push_back("ds_IgnoreDriver(" + std::string{driver} + ", " + std::to_string(value) + ")");
}

void FileVersionLayer::usingFile(std::string_view prefix, const TableDef& table, int version)
{
    const std::lock_guard lock{mutex_};
    calls_.push_back("ds_UsingFile(" + std::string{prefix} + ", " + std::string{table.label} +
                     ", " + std::to_string(version) + ")");
}

void FileVersionLayer::alternateFileName(std::string_view storageName, std::string_view alternate)
{
    const std::lock_guard lock{mutex_};
    calls_.push_back("ds_AlternateFileName(" + std::string{storageName} + ", " +
                     std::string{alternate} + ")");
    alternates_.emplace_back(storageName, alternate);
}

std::string FileVersionLayer::alternateFor(const TableDef& table) const
{
    const std::string name = storageName(table);
    const std::lock_guard lock{mutex_};
    for (const auto& [storage, alternate] : alternates_) {
        if (text::equalNoCase(storage, name)) {
            return alternate;
        }
    }
    return {};
}

std::vector<std::string> FileVersionLayer::calls() const
{
    const std::lock_guard lock{mutex_};
    return calls_;
}

void FileVersionLayer::registerDatabaseFiles()
{
    {
        const std::lock_guard lock{mutex_};
        if (registered_) {
            return;
        }
        registered_ = true;
    }
    addDriver("Tps");
    ignoreDriver("AllFiles", 1);
    usingFile("HTM", catHtmlTable(), 2);
    usingFile("CAT", categoryTable(), 2);
    usingFile("CF", configurationTable(), 2);
    usingFile("ILoc", importTable(), 0);
    usingFile("UDT", detailTable(), detailTable().layoutVersion);
    usingFile("UDK", keywordTable(), keywordTable().layoutVersion);
    usingFile("URL", bookmarkTable(), bookmarkTable().layoutVersion);
    alternateFileName("URLDATA\\!Locations", "URL_L");
}

} // namespace tessaly
