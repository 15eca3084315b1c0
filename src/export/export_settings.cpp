#include "export/export_file.h"
#include "framework/ini_file.h"
#include "framework/text.h"

#include <utility>

namespace tessaly {

namespace {

constexpr std::string_view kSection = "Export";
constexpr std::size_t kPathWidth = 255;
constexpr std::size_t kMetaWidth = 1024;

std::string fitted(const std::string& value, std::size_t width)
{
    return std::string{text::fit(text::trim(value), width)};
}

} // namespace

ExportSettings ExportSettings::read(const std::string& iniPath)
{
    const auto value = [&](std::string_view key, std::size_t width) {
        return fitted(readIniValue(iniPath, kSection, key), width);
    };
    const auto flag = [&](std::string_view key) {
        return value(key, 10) == "1";
    };
    ExportSettings settings;
    settings.type = storedTypeName(value("Export:Type", 10));
    if (settings.type.empty()) {
        settings.type = "Table";
    }
    settings.order = storedOrderName(value("Export:Order", 20));
    if (settings.order.empty()) {
        settings.order = "Location";
    }
    const std::string assignment = value("Export:Category:Assignment", 10);
    settings.assignment = "All";
    for (const char* name : {"Selected", "Query"}) {
        if (text::equalNoCase(assignment, name)) {
            settings.assignment = name;
        }
    }
    settings.category = value("Export:Category", 50);
    settings.file = value("Export:File", kPathWidth);
    settings.templateFile = value("Export:File:Preformatted", kPathWidth);
    settings.pageTitle = value("Export:PageTitle", kPathWidth);
    settings.metaKeywords = value("Export:Meta:Keywords", kMetaWidth);
    settings.metaDescription = value("Export:Meta:Description", kMetaWidth);
    settings.rating = flag("Export::Rating");
    settings.keyword = flag("Export::Keyword");
    settings.siteInfo = flag("Export::SiteInfo");
    settings.otherFields = flag("Export::OtherFields");
    return settings;
}

bool ExportSettings::write(const std::string& iniPath, std::string* error) const
{
    const auto bit = [](bool on) {
        return std::string{on ? "1" : "0"};
    };
    // The order in which the keys have always been written: a hand-edited
    // file keeps its layout.
    const std::pair<std::string, std::string> values[] = {
        {"Export:File:Preformatted", templateFile},
        {"Export:File", file},
        {"Export:File:" + type, file},
        {"Export:Type", type},
        {"Export:Category:Assignment", assignment},
        {"Export:Category", category},
        {"Export:Order", order},
        {"Export:PageTitle", pageTitle},
        {"Export:Meta:Keywords", metaKeywords},
        {"Export:Meta:Description", metaDescription},
        {"Export::Rating", bit(rating)},
        {"Export::Keyword", bit(keyword)},
        {"Export::SiteInfo", bit(siteInfo)},
        {"Export::OtherFields", bit(otherFields)},
    };
    for (const auto& [key, text] : values) {
        if (!writeIniValue(iniPath, kSection, key, text, error)) {
            return false;
        }
    }
    return true;
}

std::string ExportSettings::lastFileFor(const std::string& iniPath, std::string_view type)
{
    return fitted(readIniValue(iniPath, kSection, "Export:File:" + std::string{type}), kPathWidth);
}

} // namespace tessaly
