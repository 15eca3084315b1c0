#include "links/page_download.h"

#include "framework/ini_file.h"
#include "framework/picture.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tessaly {

const char* const kDownloadAgent = "Tessaly 2.200001b";

namespace {

// Room under the system's limit of 255 bytes for a name (which the
// bookmark's 255 characters hold too) with " (99)" and the like.
constexpr std::size_t kNameBytes = 240;

std::string systemText(int error)
{
    return std::strerror(error);
}

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < ' ' || byte == 0x7F;
}

// Step 3 of the cleaning, from the last character to the first: the
// characters a file name cannot hold become "_", and each "[" with a "]"
// at or after it loses the text up to the first such "]".
std::string replaceAndUnbracket(std::string name)
{
    for (std::size_t i = name.size(); i-- > 0;) {
        const char c = name[i];
        if (c == '\\' || c == '/' || c == ':' || c == '?' || c == '*' || isControl(c)) {
            name[i] = '_';
        } else if (c == '[') {
            const auto close = name.find(']', i);
            if (close != std::string::npos) {
                name.erase(i, close - i + 1);
            }
        }
    }
    return name;
}

// A name of at most kNameBytes, cut before its extension so that the kind
// of file is kept.
std::string fitName(const std::string& name)
{
    if (name.size() <= kNameBytes) {
        return name;
    }
    const auto dot = name.rfind('.');
    const std::string extension =
        dot != std::string::npos && name.size() - dot <= 16 ? name.substr(dot) : std::string{};
    const std::string_view stem = std::string_view{name}.substr(0, name.size() - extension.size());
    std::string cut{stem.substr(0, kNameBytes - extension.size())};
    // Never half a character.
    while (!cut.empty() && !utf8::isValid(cut)) {
        cut.pop_back();
    }
    return cut + extension;
}

bool unusable(std::string_view name)
{
    return text::clip(name).empty() || name == "." || name == "..";
}

// The value of a parameter of a header ("filename", "filename*"), as it
// stands between its quotes.
std::string parameter(std::string_view header, std::string_view name)
{
    const std::string lower = text::lower(header);
    const std::string wanted = std::string{name} + "=";
    for (auto at = lower.find(wanted); at != std::string::npos; at = lower.find(wanted, at + 1)) {
        // Only a whole parameter name: "filename=" is no part of
        // "xfilename=".
        if (at > 0 && lower[at - 1] != ';' && lower[at - 1] != ' ' && lower[at - 1] != '\t') {
            continue;
        }
        std::string_view rest = header.substr(at + wanted.size());
        rest = text::trim(rest);
        std::string value;
        if (rest.starts_with('"')) {
            for (std::size_t i = 1; i < rest.size() && rest[i] != '"'; ++i) {
                if (rest[i] == '\\' && i + 1 < rest.size()) {
                    ++i;
                }
                value.push_back(rest[i]);
            }
        } else {
            value = std::string{text::trim(rest.substr(0, rest.find(';')))};
        }
        return value;
    }
    return {};
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string percentDecoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// The file name the server gives: "filename*=UTF-8''na%20me.html" before
// "filename=name.html".
std::string dispositionName(std::string_view header)
{
    const std::string extended = parameter(header, "filename*");
    if (const auto quote = extended.find("''"); quote != std::string::npos) {
        return utf8::valid(percentDecoded(std::string_view{extended}.substr(quote + 2)));
    }
    return utf8::valid(parameter(header, "filename"));
}

// The last segment of an address's path, without its query or fragment.
std::string lastSegment(std::string_view address)
{
    std::string_view rest = address.substr(0, address.find_first_of("?#"));
    const auto scheme = rest.find("://");
    if (scheme != std::string_view::npos) {
        rest.remove_prefix(scheme + 3);
        const auto path = rest.find('/');
        rest = path == std::string_view::npos ? std::string_view{} : rest.substr(path);
    }
    return std::string{rest.substr(rest.rfind('/') + 1)};
}

bool escapedInLog(unsigned char c)
{
    return c == '=' || c == ';' || c == '[' || c == '%' || c < ' ' || c == 0x7F;
}

// The character a "%XX" at `at` stands for in a log key, or -1 when it is
// no escape of the log's.
int logEscapeAt(std::string_view text, std::size_t at)
{
    if (at + 2 >= text.size() || text[at] != '%') {
        return -1;
    }
    const int high = hexValue(text[at + 1]);
    const int low = hexValue(text[at + 2]);
    if (high < 0 || low < 0) {
        return -1;
    }
    const int c = high * 16 + low;
    return escapedInLog(static_cast<unsigned char>(c)) ? c : -1;
}

} // namespace

HttpLimits downloadLimits()
{
    return HttpLimits::forWholePages(0);
}

std::string cleanFileName(std::string_view name, std::string_view address)
{
    std::string_view kept = name.substr(name.find_last_of("\\/:") + 1);
    if (kept.empty()) {
        kept = address;
    }
    return replaceAndUnbracket(std::string{kept});
}

std::string pageFileName(std::string_view contentDisposition, std::string_view finalAddress,
                         std::string_view address)
{
    std::string name = dispositionName(contentDisposition);
    if (unusable(name)) {
        name = lastSegment(finalAddress);
    }
    name = unusable(name) ? std::string{} : cleanFileName(name, address);
    if (unusable(name)) {
        // The whole address as one name: nothing of it is a path.
        name = replaceAndUnbracket(std::string{text::clip(address)});
    }
    name = fitName(std::string{text::clip(name)});
    return unusable(name) ? std::string{"temp.html"} : name;
}

std::string downloadLogKey(std::string_view address)
{
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < address.size(); ++i) {
        const auto c = static_cast<unsigned char>(address[i]);
        // A "%" is escaped only where it would read as an escape.
        if ((c == '%' && logEscapeAt(address, i) >= 0) || (c != '%' && escapedInLog(c))) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string addressOfDownloadLogKey(std::string_view key)
{
    std::string out;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (const int c = logEscapeAt(key, i); c >= 0) {
            out.push_back(static_cast<char>(c));
            i += 2;
        } else {
            out.push_back(key[i]);
        }
    }
    return out;
}

std::string DownloadNames::claim(const std::string& name)
{
    std::string free = name;
    const auto dot = name.rfind('.');
    const std::size_t stemEnd = dot == std::string::npos || dot == 0 ? name.size() : dot;
    for (int n = 2; taken_.count(free) != 0; ++n) {
        free = name.substr(0, stemEnd) + " (" + std::to_string(n) + ")" + name.substr(stemEnd);
    }
    taken_.insert(free);
    return free;
}

PageDownload::PageDownload(std::string target, std::string address, std::string logPath,
                           std::int32_t today, DownloadNames* names, HttpLimits limits)
    : target_(std::move(target)), address_(text::clip(address)), logPath_(std::move(logPath)),
      today_(today), names_(names), session_(kDownloadAgent, limits)
{
    session_.setKeepConnections(false);
}

PageDownload::~PageDownload()
{
    closeFile();
}

void PageDownload::cancel()
{
    cancelled_ = true;
    session_.abort();
}

const std::string& PageDownload::problem() const
{
    if (!openError_.empty()) {
        return openError_;
    }
    if (!writeError_.empty()) {
        return writeError_;
    }
    return readError_;
}

// Prepares the file once the page has begun to arrive (or has arrived
// empty): the name from the page in folder mode, any file there before
// removed, the new one made. A link or a file at that name is replaced,
// never followed.
bool PageDownload::openFile()
{
    std::string path = target_;
    if (folderMode_) {
        // An FTP answer has no head to name the address that answered.
        const std::string& answered = session_.finalUrl().empty() ? address_ : session_.finalUrl();
        std::string name = pageFileName(session_.contentDisposition(), answered, address_);
        if (names_ != nullptr) {
            name = names_->claim(name);
        }
        path = folder_ + name;
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        openError_ = path + " could not be replaced: " + systemText(errno);
        return false;
    }
    file_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (file_ < 0) {
        openError_ = path + " could not be created: " + systemText(errno);
        return false;
    }
    path_ = path;
    return true;
}

bool PageDownload::write(std::string_view block)
{
    if (file_ < 0 && path_.empty() && !openFile()) {
        return false; // nowhere to write: the transfer ends
    }
    total_ += static_cast<std::int64_t>(block.size());
    while (!block.empty() && file_ >= 0) {
        const ssize_t written = ::write(file_, block.data(), block.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            // The file keeps what was written; the page goes on arriving,
            // and each later block is tried again.
            if (!writeFailed_) {
                writeError_ = path_ + ": " + systemText(written < 0 ? errno : ENOSPC);
            }
            writeFailed_ = true;
            return true;
        }
        block.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void PageDownload::closeFile()
{
    if (file_ < 0) {
        return;
    }
    if (::close(file_) != 0 && !writeFailed_) {
        // Some file systems report a failed write only here.
        writeError_ = path_ + ": " + systemText(errno);
        writeFailed_ = true;
    }
    file_ = -1;
}

void PageDownload::run()
{
    path_.clear();
    if (address_.empty()) {
        finished_ = true;
        return;
    }
    folderMode_ = target_.ends_with('*');
    if (folderMode_) {
        folder_ = target_.substr(0, target_.size() - 1);
        if (!folder_.empty() && !folder_.ends_with('/')) {
            folder_ += '/';
        }
    }
    start_ = std::chrono::steady_clock::now();
    const HttpSession::BodyReader reader = [this](std::string_view block) {
        return write(block);
    };
    bool opened = false;
    // The address is tried plainly, then as the target of a form sent by
    // GET and by POST, as some servers answer only a form's request.
    for (const char* method : {"", "GET", "POST"}) {
        if (*method != '\0') {
            session_.setExtraHeader(std::string{"method=\""} + method + "\" action=\"" + address_ +
                                    "\"");
        }
        opened = session_.open(address_, reader);
        if (opened || cancelled_ || !openError_.empty()) {
            break;
        }
    }
    if (opened && !cancelled_ && path_.empty() && openError_.empty()) {
        openFile(); // a page of no bytes is an empty file
    }
    readError_ = session_.readError();
    session_.release();
    closeFile();
    if (!opened && openError_.empty()) {
        openError_ = session_.error();
    }
    if (cancelled_ && !path_.empty()) {
        // Half a page is not the page: a cancelled download leaves none.
        ::unlink(path_.c_str());
        path_.clear();
    }
    if (!path_.empty()) {
        std::string error;
        // The file's path is escaped as the key is: a folder named with a
        // line break would otherwise start a line of its own in the log.
        if (!writeIniValue(logPath_, "Download", downloadLogKey(address_),
                           downloadLogKey(path_) + " on " +
                               format(static_cast<double>(today_), "@d17"),
                           &error)) {
            logError_ = logPath_ + ": " + error;
        }
    }
    finished_ = true;
}

std::string downloadSizeText(std::int64_t total)
{
    return std::to_string(total) + "/Unknown";
}

std::string downloadRateText(std::int64_t total, std::int64_t elapsedHundredths)
{
    const std::int64_t perHundredth = total / std::max<std::int64_t>(elapsedHundredths, 1);
    return std::to_string(perHundredth / 10) + "." + std::to_string(perHundredth % 10) + "k/s";
}

std::int64_t downloadRangeTop(std::int64_t total)
{
    return (total / 50000 + 1) * 50000 + total;
}

} // namespace tessaly
