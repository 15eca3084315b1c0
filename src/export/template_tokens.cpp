#include "export/template_tokens.h"

#include "core/record.h"
#include "core/tables.h"
#include "export/export_writer.h"
#include "framework/html_text.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/utf8.h"

namespace tessaly {

const std::array<std::string_view, kTokenCount> kTokens = {
    "(URL:SITEINFO)",
    "(URL:BASE)",
    "(URL:GENDATE)",
    "(URL:LOCATION)",
    "(URL:URL)",
    "(URL:DESCRIPTION)",
    "(URL:DESC)",
    "(URL:CATEGORY)",
    "(URL:CAT)",
    "(URL:RATING)",
    "(URL:RANK)",
    "(URL:KEYWORD)",
    "(URL:LASTVISIT)",
    "(URL:LASTVALIDATED)",
    "(URL:VALIDATED)",
    "(URL:MOVEDTO)",
    "(URL:COMMENTS)",
    "(URL:USERNAME)",
    "(URL:PASSWORD)",
    "(URL:EXPIRES)",
    "(URL:PAGESIZE)",
    "(URL:EMAILADDRESS)",
    "(URL:CUSTOM1)",
    "(URL:CUSTOM2)",
    "(URL:CUSTOM3)",
    "(URL:CATDESC)",
    "(URL:TITLE)",
    "(URL:FILENAME)",
    "(URL:PRODUCT)",
    "<!--URL:META:KEYWORDS-->",
    "<!--URL:META:DESCRIPTION-->",
    "(URL:ORDER)",
    "(URL:EXPORTTYPE)",
    "(URL:BOOKMARK)",
};

namespace {

// "<META NAME="keywords" CONTENT="...">"; nothing for a blank text.
std::string metaTag(std::string_view name, std::string_view content)
{
    const std::string_view clipped = text::clip(content);
    if (clipped.empty()) {
        return {};
    }
    return "<META NAME=\"" + std::string{name} + "\" CONTENT=\"" + html::escapeAttribute(clipped) +
           "\">";
}

std::string orderText(std::string_view stored)
{
    const ExportOrder order = parseExportOrder(stored).value_or(ExportOrder::Location);
    switch (order) {
    case ExportOrder::CatDesc:
        return "Category/Description";
    case ExportOrder::CatLoc:
        return "Category/Location";
    case ExportOrder::Location:
        return "Location";
    case ExportOrder::Description:
        return "Description";
    case ExportOrder::Keyword:
        return "Keyword";
    case ExportOrder::Rating:
        return "Rating";
    }
    return {};
}

} // namespace

std::string anchorName(std::string_view category)
{
    std::string name;
    const std::string_view clipped = text::clip(category);
    for (std::size_t pos = 0; pos < clipped.size();) {
        const char32_t c = utf8::decode(clipped, pos);
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        // Letters of other scripts stay themselves, so "Новости" reads as
        // it is in the address bar; blanks of any kind cannot stand in an id.
        const bool blank = c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) ||
                           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
                           c == 0x3000 || c == 0xFEFF;
        if (letter) {
            name += static_cast<char>(c);
        } else if (c >= 0x80 && !blank) {
            utf8::append(name, c);
        } else {
            name += '_';
        }
    }
    return name;
}

// The text a token stands for, ready for the page. Stored fields are plain
// text and are escaped for where the template put them (between tags; in a
// tag, quoted or not); addresses are made safe for href="...".
std::string tokenValue(Token token, const TokenSource& source)
{
    const auto escapeText = [&](std::string_view text) {
        return source.inTag ? html::escapeAnywhere(text) : html::escapeAttribute(text);
    };
    const Record& b = source.bookmark;
    const ExportSettings& settings = source.settings;
    const auto field = [&b, &escapeText](BookmarkField f) {
        return escapeText(b.text(f));
    };
    const auto date = [&b](BookmarkField f) {
        return format(static_cast<double>(b.number(f)), "@d17b");
    };
    const std::string& location = b.text(BookmarkField::Location);
    switch (token) {
    case kSiteInfo:
        return field(BookmarkField::SiteInfo);
    case kBase:
        // In a tag the stem starts a link to a sibling page ("(URL:BASE)m.htm").
        return source.inTag ? html::encodeFileName(source.names.stem)
                            : escapeText(source.names.stem);
    case kGenDate:
        return format(source.today, "@d17b");
    case kLocation:
        return "<a href=\"" + html::escapeAddress(location) + "\">" + html::escape(location) +
               "</a>";
    case kUrl:
        return html::escapeAddress(location);
    case kDescription: {
        const std::string& description = b.text(BookmarkField::Description);
        if (text::clip(description).empty()) {
            return "No description";
        }
        return "<a href=\"" + html::escapeAddress(location) + "\">" + html::escape(description) +
               "</a>";
    }
    case kDesc:
        return field(BookmarkField::Description);
    case kCategory:
    case kCat:
        return field(BookmarkField::Category);
    case kRating:
    case kRank:
        return format(static_cast<double>(b.number(BookmarkField::Rating)), "@n2b");
    case kKeyword:
        return field(BookmarkField::Keyword);
    case kLastVisit:
        return date(BookmarkField::LastVisit);
    case kLastValidated:
        return date(BookmarkField::LastValidated);
    case kValidated: {
        const std::int64_t validated = b.number(BookmarkField::Validated);
        return validated == 1 ? "Pass" : validated == 2 ? "Failed" : "Unknown";
    }
    case kMovedTo:
        return html::escapeAddress(b.text(BookmarkField::MovedTo));
    case kComments:
        return field(BookmarkField::Comments);
    case kUserName:
        return field(BookmarkField::UserName);
    case kPassword:
        return field(BookmarkField::Password);
    case kExpires:
        return date(BookmarkField::Expires);
    case kPageSize:
        return std::to_string(b.number(BookmarkField::PageSize));
    case kEmailAddress: {
        const std::string email{text::clip(b.text(BookmarkField::EmailAddress))};
        if (email.empty()) {
            return {};
        }
        const bool hasScheme = text::startsWithNoCase(email, "mailto:");
        return "<a href=\"" + html::escapeAddress(hasScheme ? email : "mailto:" + email) + "\">" +
               html::escape(email) + "</a>";
    }
    case kCustom1:
        return field(BookmarkField::Custom1);
    case kCustom2:
        return field(BookmarkField::Custom2);
    case kCustom3:
        return field(BookmarkField::Custom3);
    case kCatDesc:
        return escapeText(source.categoryDescription);
    case kTitle:
        return escapeText(settings.pageTitle);
    case kFilename:
        return escapeText(text::clip(settings.file));
    case kProduct:
        return productLine();
    case kMetaKeywords:
        return metaTag("keywords", settings.metaKeywords);
    case kMetaDescription:
        return metaTag("description", settings.metaDescription);
    case kOrder:
        return orderText(settings.order);
    case kExportType:
        return std::string{source.typeName};
    case kBookmark: {
        const std::string_view name = source.anchor;
        // An id leads the table of contents' "#" links there as a name
        // did, and is what current HTML allows.
        return name.empty() ? std::string{} : "<a id=\"" + std::string{name} + "\"></a>";
    }
    case kTokenCount:
        break;
    }
    return {};
}

// Fills in the first of every token in each element, last element first;
// with `toc` (the end of the run) also the table of contents.

} // namespace tessaly
