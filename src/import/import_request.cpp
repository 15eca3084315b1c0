#include "import/import_request.h"

#include "core/bookmark_schema.h"
#include "framework/ini_file.h"
#include "framework/picture.h"
#include "framework/text.h"

#include <array>
#include <utility>

namespace tessaly {

namespace {

constexpr std::string_view kSection = "Import";

constexpr std::array<std::pair<ImportType, std::string_view>, 9> kTypes = {{
    {ImportType::Favorites, "IE"},
    {ImportType::Netscape, "Netscape"},
    {ImportType::Html, "HTML"},
    {ImportType::Csv, "CSV"},
    {ImportType::Ascii, "ASCII"},
    {ImportType::Url, "URL"},
    {ImportType::Firefox, "Firefox"},
    {ImportType::Chromium, "Chromium"},
    {ImportType::Xbel, "XBEL"},
}};

constexpr std::array<std::pair<CategoryAssignment, std::string_view>, 4> kAssignments = {{
    {CategoryAssignment::Guess, "Guess"},
    {CategoryAssignment::Selected, "Selected"},
    {CategoryAssignment::Ask, "Ask"},
    {CategoryAssignment::None, "None"},
}};

std::string fitted(std::string value, std::size_t width)
{
    return std::string{text::fit(text::trim(value), width)};
}

} // namespace

std::string_view typeName(ImportType type)
{
    for (const auto& [value, name] : kTypes) {
        if (value == type) {
            return name;
        }
    }
    return {};
}

std::optional<ImportType> parseType(std::string_view name)
{
    for (const auto& [value, known] : kTypes) {
        if (text::equalNoCase(text::trim(name), known)) {
            return value;
        }
    }
    return std::nullopt;
}

std::string_view assignmentName(CategoryAssignment assignment)
{
    for (const auto& [value, name] : kAssignments) {
        if (value == assignment) {
            return name;
        }
    }
    return {};
}

std::optional<CategoryAssignment> parseAssignment(std::string_view name)
{
    for (const auto& [value, known] : kAssignments) {
        if (text::equalNoCase(text::trim(name), known)) {
            return value;
        }
    }
    return std::nullopt;
}

ImportSettings ImportSettings::read(const std::string& iniPath)
{
    const auto value = [&](std::string_view key, std::size_t width) {
        return fitted(readIniValue(iniPath, kSection, key), width);
    };
    ImportSettings settings;
    settings.type = parseType(value("Import:Type", 10)).value_or(ImportType::Favorites);
    settings.file = value("Import:File", 255);
    settings.assignment = parseAssignment(value("Import:Category:Assignment", 10))
                              .value_or(CategoryAssignment::Guess);
    settings.category = value("Import:Category", 50);
    settings.url = value("Import:URL", kAddressWidth);
    settings.followLinks = parseNumber(value("Import:FollowLinks", 10)).value_or(0) != 0 ? 1 : 0;
    return settings;
}

bool ImportSettings::write(const std::string& iniPath, std::string* error) const
{
    const std::pair<std::string_view, std::string> values[] = {
        {"Import:Type", std::string{typeName(type)}},
        {"Import:File", file},
        {"Import:Category:Assignment", std::string{assignmentName(assignment)}},
        {"Import:Category", category},
        {"Import:URL", url},
        {"Import:FollowLinks", followLinks != 0 ? "1" : "0"},
    };
    for (const auto& [key, text] : values) {
        if (!writeIniValue(iniPath, kSection, key, text, error)) {
            return false;
        }
    }
    return true;
}

} // namespace tessaly
