#include "field_escape.h"

#include "framework/field_text.h"

namespace tessaly::cli {

using field_text::escapeControls;

std::string tsvField(std::string_view value)
{
    return escapeControls(value, [](std::string& out, char32_t cp) {
        switch (cp) {
        case '\t':
            out += "\\t";
            return true;
        case '\n':
            out += "\\n";
            return true;
        case '\r':
            out += "\\r";
            return true;
        case '\\':
            out += "\\\\";
            return true;
        default:
            return false;
        }
    });
}

std::string csvField(std::string_view value)
{
    std::string body = escapeControls(value, [](std::string& out, char32_t cp) {
        if (cp == '\t' || cp == '\n' || cp == '\r') {
            out += static_cast<char>(cp);
            return true;
        }
        if (cp == '"') {
            out += "\"\"";
            return true;
        }
        return false;
    });
    if (field_text::startsLikeFormula(value)) {
        body.insert(0, 1, '\'');
    }
    if (body.find_first_of(",\"\r\n") == std::string::npos) {
        return body;
    }
    return '"' + body + '"';
}

std::string messageText(std::string_view value)
{
    return escapeControls(value, [](std::string& out, char32_t cp) {
        if (cp == '\n') {
            out += '\n';
            return true;
        }
        if (cp == '\t') {
            out += "\\t";
            return true;
        }
        return false;
    });
}

} // namespace tessaly::cli
