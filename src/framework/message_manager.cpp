#include "framework/message_manager.h"

#include "framework/halt.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <array>
#include <cctype>
#include <utility>
#include <vector>

namespace tessaly {

namespace {

constexpr std::size_t kFilledLimit = 2000;
constexpr std::string_view kFatalSuffix = "  Press OK to end this application";

thread_local MessageContext threadContext;
thread_local std::vector<std::string> procedureStack;

enum class Placeholder {
    File,
    ErrorCode,
    ErrorText,
    Error,
    FileErrorCode,
    FileError,
    Message,
    Field,
    Procedure,
    Previous,
};

struct PlaceholderName {
    std::string_view name;
    Placeholder kind;
};

// Longest names first, so "%FileErrorCode" is never read as "%File"
// followed by the word "ErrorCode".
constexpr std::array<PlaceholderName, 10> kPlaceholders = {{
    {"%FileErrorCode", Placeholder::FileErrorCode},
    {"%FileError", Placeholder::FileError},
    {"%ErrorCode", Placeholder::ErrorCode},
    {"%ErrorText", Placeholder::ErrorText},
    {"%Procedure", Placeholder::Procedure},
    {"%Previous", Placeholder::Previous},
    {"%Message", Placeholder::Message},
    {"%Error", Placeholder::Error},
    {"%Field", Placeholder::Field},
    {"%File", Placeholder::File},
}};

bool matchesAt(std::string_view text, std::size_t pos, std::string_view name)
{
    if (text.size() - pos < name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto a = static_cast<unsigned char>(text[pos + i]);
        const auto b = static_cast<unsigned char>(name[i]);
        if (std::tolower(a) != std::tolower(b)) {
            return false;
        }
    }
    return true;
}

std::string errorTextWithCode(const MessageContext& c)
{
    if (c.errorCode == kFileSystemErrorCode) {
        return c.fileErrorText + " (" + std::to_string(c.fileErrorCode) + ")";
    }
    return c.errorText + " (" + std::to_string(c.errorCode) + ")";
}

MessageIcon iconFor(MessageLevel level)
{
    return level == MessageLevel::User || level == MessageLevel::Cancel ? MessageIcon::Question
                                                                        : MessageIcon::Exclamation;
}

} // namespace

MessageManager::MessageManager(UiPort& ui, MessageTable table) : ui_(ui), table_(std::move(table))
{}

MessageContext& MessageManager::context()
{
    return threadContext;
}

void MessageManager::setFile(std::string_view file)
{
    threadContext.file = std::string{file};
}

void MessageManager::setField(std::string_view field)
{
    threadContext.field = std::string{field};
}

void MessageManager::setMessage(std::string_view message)
{
    threadContext.message = std::string{message};
}

void MessageManager::setError(int code, std::string_view text)
{
    threadContext.errorCode = code;
    threadContext.errorText = std::string{text};
}

void MessageManager::setFileError(int code, std::string_view text)
{
    threadContext.fileErrorCode = code;
    threadContext.fileErrorText = std::string{text};
}

void MessageManager::setAdvice(std::string_view advice)
{
    threadContext.advice = advice;
}

void MessageManager::clearContext()
{
    threadContext = MessageContext{};
}

std::string MessageManager::fill(std::string_view textIn, const MessageEntry* entry) const
{
    // One pass from left to right: a value put in is never searched again, so
    // a file name that happens to contain "%Message" stays as it is.
    const std::string_view source = utf8::prefix(textIn, kFilledLimit);
    const MessageContext& c = threadContext;
    std::string out;
    out.reserve(source.size());
    for (std::size_t pos = 0; pos < source.size();) {
        const PlaceholderName* found = nullptr;
        if (source[pos] == '%') {
            for (const PlaceholderName& p : kPlaceholders) {
                if (matchesAt(source, pos, p.name)) {
                    found = &p;
                    break;
                }
            }
        }
        if (found == nullptr) {
            out.push_back(source[pos++]);
            continue;
        }
        pos += found->name.size();
        switch (found->kind) {
        case Placeholder::File:
            out += c.file;
            break;
        case Placeholder::ErrorCode:
            out += std::to_string(c.errorCode);
            break;
        case Placeholder::ErrorText:
            out += errorTextWithCode(c);
            break;
        case Placeholder::Error:
            out += c.errorText;
            break;
        case Placeholder::FileErrorCode:
            out += std::to_string(c.fileErrorCode);
            break;
        case Placeholder::FileError:
            out += c.fileErrorText;
            break;
        case Placeholder::Message:
            out += c.message;
            break;
        case Placeholder::Field:
            out += c.field;
            break;
        case Placeholder::Procedure:
            out += procedureStack.empty() ? std::string{"%Procedure"} : procedureStack.back();
            break;
        case Placeholder::Previous:
            if (entry != nullptr) {
                if (const MessageEntry* earlier = table_.previous(*entry)) {
                    out += earlier->text;
                }
            }
            break;
        }
    }
    return std::string{utf8::prefix(out, kFilledLimit)};
}

std::string MessageManager::filledText(std::uint16_t number) const
{
    const MessageEntry* entry = table_.find(number);
    return entry == nullptr ? std::string{} : fill(entry->text, entry);
}

int MessageManager::raise(std::uint16_t number)
{
    const MessageEntry* entry = table_.find(number);
    if (entry == nullptr) {
        MessageRequest request{"Unknown Message",
                               "Message " + std::to_string(number) + " is not defined.",
                               MessageIcon::Exclamation, ButtonOk, ButtonOk};
        ui_.showMessage(request);
        return kLevelNotify;
    }
    const auto level = static_cast<MessageLevel>(entry->level);
    MessageRequest request;
    request.title = entry->title;
    request.text = fill(entry->text, entry);
    if (!threadContext.advice.empty()) {
        request.text += "\n" + std::exchange(threadContext.advice, {});
    }
    request.icon = iconFor(level);
    switch (level) {
    case MessageLevel::Benign:
        return kLevelBenign;
    case MessageLevel::User:
    case MessageLevel::Cancel:
        request.buttons = ButtonYes | ButtonNo;
        request.defaultButton = ButtonYes;
        return ui_.showMessage(request) == ButtonYes ? kLevelBenign : kLevelCancel;
    case MessageLevel::Notify:
        ui_.showMessage(request);
        return kLevelNotify;
    case MessageLevel::Program:
    case MessageLevel::Fatal:
    default:
        break;
    }
    // Program errors, fatal errors and unknown levels end the program.
    request.text += kFatalSuffix;
    ui_.showMessage(request);
    ui_.halt(entry->level);
    // A port whose halt came back must not let the program run on.
    haltProcess(entry->level);
}

Button MessageManager::message(std::uint16_t number, unsigned buttons, Button defaultButton)
{
    const MessageEntry* entry = table_.find(number);
    MessageRequest request;
    if (entry != nullptr) {
        request.title = entry->title;
        request.text = fill(entry->text, entry);
        request.icon = iconFor(static_cast<MessageLevel>(entry->level));
        if (!threadContext.advice.empty()) {
            request.text += "\n" + std::exchange(threadContext.advice, {});
        }
    } else {
        request.title = "Unknown Message";
        request.text = "Message " + std::to_string(number) + " is not defined.";
        request.icon = MessageIcon::Exclamation;
    }
    request.buttons = buttons;
    request.defaultButton = defaultButton;
    return ui_.showMessage(request);
}

ProcedureScope::ProcedureScope(std::string_view name)
{
    procedureStack.emplace_back(name);
}

ProcedureScope::~ProcedureScope()
{
    procedureStack.pop_back();
}

std::string ProcedureScope::current()
{
    return procedureStack.empty() ? std::string{} : procedureStack.back();
}

} // namespace tessaly
