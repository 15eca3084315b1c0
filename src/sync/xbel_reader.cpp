// Reading an XBEL file with expat, noting where each folder and bookmark
// stands in the bytes so that a later write can copy all the rest as it was.
#include "sync/xbel_document.h"

#include <expat.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tessaly {

namespace {

constexpr std::string_view kHighestId = "highestId :";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool sameNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x | 0x20) == (y | 0x20);
           });
}

// The number an id holds, when it is one (the browsers' sync extension
// numbers everything); 0 otherwise.
std::uint64_t idNumber(std::string_view id)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), value);
    return error == std::errc{} && end == id.data() + id.size() ? value : 0;
}

} // namespace

// The expat handlers and what they need between calls.
class XbelDocument::Reader {
public:
    explicit Reader(XbelDocument& document) : doc_(document) {}

    bool read(std::string& error)
    {
        XML_Parser parser = XML_ParserCreate(nullptr);
        if (parser == nullptr) {
            error = "There is not enough memory to read the file.";
            return false;
        }
        parser_ = parser;
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &Reader::start, &Reader::end);
        XML_SetCharacterDataHandler(parser, &Reader::text);
        XML_SetCommentHandler(parser, &Reader::comment);
        XML_SetXmlDeclHandler(parser, &Reader::declaration);
        // A bookmark file has no use for entities of its own: a file that
        // declares any is refused before one is expanded, and no external
        // entity or DTD is ever fetched.
        XML_SetEntityDeclHandler(parser, &Reader::entity);
        XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
        const std::string& bytes = doc_.source_;
        const bool parsed = XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()),
                                      XML_TRUE) == XML_STATUS_OK;
        if (!parsed && refusal_.empty()) {
            refusal_ =
                "The file is damaged: " + std::string{XML_ErrorString(XML_GetErrorCode(parser))} +
                " at line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
                std::to_string(XML_GetCurrentColumnNumber(parser) + 1) + ".";
        }
        XML_ParserFree(parser);
        if (!refusal_.empty()) {
            error = refusal_;
            return false;
        }
        return true;
    }

private:
    enum class Kind { Top, Folder, Bookmark, Title, Desc, Other };
    struct Open {
        Kind kind = Kind::Other;
        int item = -1;
    };

    static Reader& self(void* data) { return *static_cast<Reader*>(data); }

    Span event() const
    {
        const auto at = static_cast<std::size_t>(XML_GetCurrentByteIndex(parser_));
        return {at, at + static_cast<std::size_t>(XML_GetCurrentByteCount(parser_))};
    }

    void refuse(std::string why)
    {
        refusal_ = std::move(why);
        XML_StopParser(parser_, XML_FALSE);
    }

    Place& placeOf(int item) { return item < 0 ? doc_.top_ : doc_.places_[item]; }

    static void XMLCALL start(void* data, const XML_Char* name, const XML_Char** attributes)
    {
        self(data).opened(name, attributes);
    }
    static void XMLCALL end(void* data, const XML_Char* /*name*/) { self(data).closed(); }
    static void XMLCALL text(void* data, const XML_Char* chars, int length)
    {
        Reader& reader = self(data);
        if (reader.stack_.empty()) {
            return;
        }
        const Open& open = reader.stack_.back();
        if (open.kind == Kind::Title || open.kind == Kind::Desc) {
            Item& item = reader.doc_.items_[static_cast<std::size_t>(open.item)];
            (open.kind == Kind::Title ? item.title : item.desc)
                .append(chars, static_cast<std::size_t>(length));
        }
    }
    static void XMLCALL comment(void* data, const XML_Char* /*text*/) { self(data).noteComment(); }
    static void XMLCALL declaration(void* data, const XML_Char* /*version*/,
                                    const XML_Char* encoding, int /*standalone*/)
    {
        if (encoding != nullptr && !sameNoCase(encoding, "UTF-8") &&
            !sameNoCase(encoding, "US-ASCII")) {
            self(data).doc_.utf8_ = false;
        }
    }
    static void XMLCALL entity(void* data, const XML_Char* /*name*/, int /*parameter*/,
                               const XML_Char* /*value*/, int /*length*/, const XML_Char* /*base*/,
                               const XML_Char* /*system*/, const XML_Char* /*publicId*/,
                               const XML_Char* /*notation*/)
    {
        self(data).refuse("The file declares entities of its own, which no bookmark file needs: "
                          "it is not read.");
    }

    void opened(std::string_view name, const XML_Char** attributes)
    {
        const Span tag = event();
        if (stack_.empty()) {
            if (name != "xbel") {
                refuse("The file is not an XBEL bookmark file: its first element is <" +
                       std::string{name} + ">, not <xbel>.");
                return;
            }
            doc_.top_.element.begin = tag.begin;
            doc_.top_.open = tag.end;
            stack_.push_back({Kind::Top, -1});
            return;
        }
        const Open parent = stack_.back();
        const bool container = parent.kind == Kind::Top || parent.kind == Kind::Folder;
        if (container && (name == "folder" || name == "bookmark")) {
            const bool folder = name == "folder";
            const int index = doc_.newItem(folder, parent.item);
            Place& place = doc_.places_[static_cast<std::size_t>(index)];
            place.element.begin = tag.begin;
            place.open = tag.end;
            place.parent = parent.item;
            placeOf(parent.item).read.push_back(index);
            Item& item = doc_.items_[static_cast<std::size_t>(index)];
            for (const XML_Char** at = attributes; *at != nullptr; at += 2) {
                if (std::strcmp(at[0], "id") == 0) {
                    item.id = at[1];
                    doc_.nextId_ = std::max(doc_.nextId_, idNumber(item.id) + 1);
                } else if (!folder && std::strcmp(at[0], "href") == 0) {
                    item.href = at[1];
                    place.href = hrefValue(tag);
                }
            }
            stack_.push_back({folder ? Kind::Folder : Kind::Bookmark, index});
            return;
        }
        if ((parent.kind == Kind::Folder || parent.kind == Kind::Bookmark) && name == "title" &&
            doc_.places_[static_cast<std::size_t>(parent.item)].title.end == 0 && !inTitle_) {
            doc_.places_[static_cast<std::size_t>(parent.item)].title.begin = tag.end;
            inTitle_ = true;
            stack_.push_back({Kind::Title, parent.item});
            return;
        }
        // A bookmark's note: read for the import, left in the file as it is.
        if (parent.kind == Kind::Bookmark && name == "desc" &&
            doc_.items_[static_cast<std::size_t>(parent.item)].desc.empty()) {
            stack_.push_back({Kind::Desc, parent.item});
            return;
        }
        stack_.push_back({Kind::Other, -1});
    }

    void closed()
    {
        const Span tag = event();
        const Open open = stack_.back();
        stack_.pop_back();
        if (open.kind == Kind::Title) {
            Place& place = doc_.places_[static_cast<std::size_t>(open.item)];
            // An empty <title/> has no inside to change: it counts as none.
            place.title = tag.end == tag.begin ? Span{} : Span{place.title.begin, tag.begin};
            inTitle_ = false;
            return;
        }
        if (open.kind == Kind::Other || open.kind == Kind::Desc) {
            return;
        }
        Place& place = placeOf(open.item);
        // The end of an empty-element tag is an event of no bytes.
        place.empty = tag.end == tag.begin;
        place.close = place.empty ? place.open : tag.begin;
        place.element.end = place.empty ? place.open : tag.end;
    }

    void noteComment()
    {
        const Span span = event();
        const std::string_view bytes =
            std::string_view{doc_.source_}.substr(span.begin, span.end - span.begin);
        const std::size_t at = bytes.find(kHighestId);
        if (at == std::string_view::npos || doc_.highestId_.end != 0) {
            return;
        }
        std::size_t digits = at + kHighestId.size();
        std::size_t last = digits;
        while (last < bytes.size() && bytes[last] >= '0' && bytes[last] <= '9') {
            ++last;
        }
        if (last == digits) {
            return;
        }
        doc_.highestId_ = {span.begin + digits, span.begin + last};
        doc_.nextId_ = std::max(doc_.nextId_, idNumber(bytes.substr(digits, last - digits)) + 1);
    }

    // Where the value of the href attribute stands inside a start tag that
    // expat has found well-formed: names, "=", and quoted values.
    Span hrefValue(Span tag) const
    {
        const std::string_view bytes =
            std::string_view{doc_.source_}.substr(tag.begin, tag.end - tag.begin);
        std::size_t at = 1;
        while (at < bytes.size() && !isBlank(bytes[at]) && bytes[at] != '>' && bytes[at] != '/') {
            ++at;
        }
        while (at < bytes.size()) {
            while (at < bytes.size() && isBlank(bytes[at])) {
                ++at;
            }
            const std::size_t nameStart = at;
            while (at < bytes.size() && bytes[at] != '=' && !isBlank(bytes[at]) &&
                   bytes[at] != '>' && bytes[at] != '/') {
                ++at;
            }
            const std::string_view attribute = bytes.substr(nameStart, at - nameStart);
            if (attribute.empty()) {
                break;
            }
            const std::size_t quote = bytes.find_first_of("\"'", at);
            if (quote == std::string_view::npos) {
                break;
            }
            const std::size_t closing = bytes.find(bytes[quote], quote + 1);
            if (closing == std::string_view::npos) {
                break;
            }
            if (attribute == "href") {
                return {tag.begin + quote + 1, tag.begin + closing};
            }
            at = closing + 1;
        }
        return {};
    }

    XbelDocument& doc_;
    XML_Parser parser_ = nullptr;
    std::vector<Open> stack_;
    bool inTitle_ = false;
    std::string refusal_;
};

std::optional<XbelDocument> XbelDocument::parse(std::string_view bytes, std::string& error,
                                                std::size_t largest)
{
    if (bytes.size() > largest) {
        error = "The file is larger than " + std::to_string(largest >> 20U) +
                " MiB, too large for a bookmark file: it is not read.";
        return std::nullopt;
    }
    if (bytes.empty()) {
        error = "The file is empty: it is no XBEL bookmark file.";
        return std::nullopt;
    }
    if (bytes.starts_with("\xFE\xFF") || bytes.starts_with("\xFF\xFE")) {
        error = "The file is written in UTF-16; only XBEL files in UTF-8 are read.";
        return std::nullopt;
    }
    XbelDocument document;
    document.source_ = bytes;
    Reader reader{document};
    if (!reader.read(error)) {
        return std::nullopt;
    }
    return document;
}

int XbelDocument::newItem(bool folder, int parent)
{
    const int index = static_cast<int>(items_.size());
    Item item;
    item.folder = folder;
    item.parent = parent;
    items_.push_back(std::move(item));
    places_.emplace_back();
    titleEdited_.push_back(0);
    hrefEdited_.push_back(0);
    // Every item has a slot of its own for what is moved into it, the top
    // slot 0.
    while (appended_.size() < items_.size() + 1) {
        appended_.emplace_back();
        dirty_.push_back(0);
    }
    return index;
}

} // namespace tessaly
