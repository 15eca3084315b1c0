#include "links/page_download.h"

#include "framework/ini_file.h"
#include "framework/picture.h"
#include "framework/system_file.h"
#include "framework/text.h"
#include "framework/utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

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

// Characters that show nothing or turn the text around them: a name with
// one can pass for another ("txt.exe" shown as "exe.txt").
bool invisible(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xAD || c == 0x061C || c == 0x180E ||
           (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB);
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

HttpLimits downloadLimits(long mostSeconds)
{
    HttpLimits limits = HttpLimits::forWholePages(mostSeconds);
    limits.stallBytesPerSecond = 1024;
    return limits;
}

DownloadBounds downloadBounds(const Settings& settings)
{
    DownloadBounds bounds;
    bounds.http = downloadLimits(static_cast<long>(settings.downloadMostMinutes) * 60);
    bounds.mostBytes = std::int64_t{settings.downloadMostMB} * 1024 * 1024;
    return bounds;
}

std::string serverFileName(std::string_view name)
{
    const std::string text = utf8::valid(name);
    std::string kept;
    for (std::size_t at = 0; at < text.size();) {
        const char32_t c = utf8::decode(text, at);
        if (!invisible(c) && !(c == '.' && kept.empty())) {
            utf8::append(kept, c);
        }
    }
    return kept;
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
    std::string name = serverFileName(dispositionName(contentDisposition));
    if (unusable(name)) {
        name = serverFileName(lastSegment(finalAddress));
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

namespace {

// The name `name` takes at the n-th try: "index.html", "index (2).html"...
std::string nameVariant(const std::string& name, int n)
{
    if (n == 1) {
        return name;
    }
    const auto dot = name.rfind('.');
    const std::size_t stemEnd = dot == std::string::npos || dot == 0 ? name.size() : dot;
    return name.substr(0, stemEnd) + " (" + std::to_string(n) + ")" + name.substr(stemEnd);
}

// More tries than this and the folder is full of pages of this name.
constexpr int kMostNameTries = 10000;

std::string ownerKey(std::string_view address)
{
    return text::foldKey(text::clip(address));
}

} // namespace

void DownloadNames::record(const std::string& path, std::string_view address)
{
    struct stat status {};
    if (text::clip(path).empty() || ::lstat(path.c_str(), &status) != 0 ||
        !S_ISREG(status.st_mode)) {
        return;
    }
    const std::lock_guard lock{mutex_};
    owners_[FileId{status.st_dev, status.st_ino}].insert(ownerKey(address));
}

void DownloadNames::recordLog(const std::string& logPath)
{
    IniFile log;
    if (!log.load(logPath)) {
        return;
    }
    for (const std::string& key : log.keys("Download")) {
        const std::string value = log.value("Download", key).value_or("");
        const auto on = value.rfind(" on ");
        if (on != std::string::npos) {
            record(addressOfDownloadLogKey(value.substr(0, on)), addressOfDownloadLogKey(key));
        }
    }
}

std::optional<DownloadNames::Choice>
DownloadNames::claim(const std::string& folder, const std::string& name, std::string_view address)
{
    const std::string owner = ownerKey(address);
    const std::lock_guard lock{mutex_};
    for (int n = 1; n <= kMostNameTries; ++n) {
        const std::string path = folder + nameVariant(name, n);
        if (const auto held = claimed_.find(path);
            held != claimed_.end() && held->second != owner) {
            continue;
        }
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0) {
            if (errno != ENOENT) {
                continue;
            }
            claimed_[path] = owner;
            return Choice{path, false};
        }
        const auto owners = owners_.find(FileId{status.st_dev, status.st_ino});
        if (S_ISREG(status.st_mode) && owners != owners_.end() &&
            owners->second == std::set<std::string>{owner}) {
            claimed_[path] = owner;
            return Choice{path, true};
        }
    }
    return std::nullopt;
}

PageDownload::PageDownload(std::string target, std::string address, std::string logPath,
                           std::int32_t today, DownloadNames* names, DownloadBounds bounds)
    : target_(std::move(target)), address_(text::clip(address)), logPath_(std::move(logPath)),
      today_(today), names_(names), bounds_(bounds), session_(kDownloadAgent, bounds.http)
{
    session_.setKeepConnections(false);
}

PageDownload::~PageDownload()
{
    discardFile();
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

namespace {

constexpr std::string_view kPartPrefix = ".tessaly-download-";

// The folder a file path is in, with its "/"; "./" for a bare name.
std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string{"./"} : path.substr(0, slash + 1);
}

std::string partName()
{
    // Hidden, and named for this program and process, so that nobody takes
    // it for a page and a leftover can be told from anyone else's file.
    thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
    return std::string{kPartPrefix} + std::to_string(::getpid()) + "-" + suffix;
}

} // namespace

void removeStaleDownloadParts(const std::string& folder)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator{folder, error}) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kPartPrefix)) {
            continue;
        }
        const std::string_view rest = std::string_view{name}.substr(kPartPrefix.size());
        pid_t pid = 0;
        const auto [end, parsed] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
        if (parsed != std::errc{} || end == rest.data() + rest.size() || *end != '-' || pid <= 0) {
            continue;
        }
        if (pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH) {
            ::unlink(entry.path().c_str());
        }
    }
}

// Makes the hidden file the page arrives in, in the folder it will be
// saved in, so that taking its name at the end is a rename.
bool PageDownload::openFile()
{
    const std::string folder = folderMode_ ? folder_ : folderOf(target_);
    for (int tries = 0; tries < 100; ++tries) {
        const std::string part = (folder.empty() ? std::string{"./"} : folder) + partName();
        file_ = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file_ >= 0) {
            partPath_ = part;
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    openError_ = folder + " cannot be written to: " + systemText(errno);
    return false;
}

bool PageDownload::write(std::string_view block)
{
    if (file_ < 0 && (!partPath_.empty() || !openFile())) {
        return false; // nowhere to write: the transfer ends
    }
    if (total_ + static_cast<std::int64_t>(block.size()) > bounds_.mostBytes) {
        tooLarge_ = true;
        return false;
    }
    total_ += static_cast<std::int64_t>(block.size());
    while (!block.empty()) {
        const ssize_t written = ::write(file_, block.data(), block.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            // Nothing more of the page can be kept: the transfer ends.
            writeError_ = partPath_ + ": " + systemText(written < 0 ? errno : ENOSPC);
            writeFailed_ = true;
            return false;
        }
        block.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Closes the page's file with what it holds on the disk; false when the
// system says it could not be written whole.
bool PageDownload::closeFile()
{
    if (file_ < 0) {
        return !writeFailed_;
    }
    // On the disk before it takes a name, so that a crash of the machine
    // cannot leave an empty page where a whole copy was.
    if ((::fsync(file_) != 0 && errno != EINVAL) || ::close(file_) != 0) {
        // Some file systems report a failed write only here.
        if (!writeFailed_) {
            writeError_ = partPath_ + ": " + systemText(errno);
            writeFailed_ = true;
        }
    }
    file_ = -1;
    return !writeFailed_;
}

void PageDownload::discardFile()
{
    if (file_ >= 0) {
        ::close(file_);
        file_ = -1;
    }
    if (!partPath_.empty()) {
        ::unlink(partPath_.c_str());
        partPath_.clear();
    }
}

// Gives the whole page its name in the folder: a free name, or the file
// saved earlier for the same address, replaced in one step.
bool PageDownload::placeInFolder()
{
    DownloadNames& names = names_ != nullptr ? *names_ : *ownNames_;
    // An FTP answer has no head to name the address that answered.
    const std::string& answered = session_.finalUrl().empty() ? address_ : session_.finalUrl();
    const std::string name = pageFileName(session_.contentDisposition(), answered, address_);
    for (;;) {
        const std::optional<DownloadNames::Choice> choice = names.claim(folder_, name, address_);
        if (!choice) {
            openError_ = folder_ + name + " and every name like it are taken";
            return false;
        }
        const SystemResult placed = choice->replaces
                                        ? (::rename(partPath_.c_str(), choice->path.c_str()) == 0
                                               ? SystemResult{}
                                               : SystemResult::fromErrno(errno))
                                        : renameWithoutReplacing(partPath_, choice->path);
        if (placed.ok()) {
            path_ = choice->path;
            return true;
        }
        if (placed.errorNumber != EEXIST) {
            openError_ = choice->path + " could not be written: " + placed.text;
            return false;
        }
        // Someone else made a file of that name meanwhile: it is theirs.
    }
}

bool PageDownload::keepFile()
{
    if (folderMode_) {
        if (!placeInFolder()) {
            return false;
        }
    } else if (::rename(partPath_.c_str(), target_.c_str()) == 0) {
        path_ = target_; // the file the caller named, replaced as asked
    } else {
        openError_ = target_ + " could not be written: " + systemText(errno);
        return false;
    }
    partPath_.clear();
    if (names_ != nullptr) {
        names_->record(path_, address_);
    }
    return true;
}

bool PageDownload::takeName()
{
    if (path_.empty() && file_ < 0 && !partPath_.empty() && !keepFile()) {
        discardFile();
    }
    return !path_.empty();
}

std::pair<std::string, std::string> PageDownload::logEntry() const
{
    // The file's path is escaped as the key is: a folder named with a line
    // break would otherwise start a line of its own in the log.
    return {downloadLogKey(address_),
            downloadLogKey(path_) + " on " + format(static_cast<double>(today_), "@d17")};
}

void PageDownload::writeLogEntry()
{
    std::string error;
    if (!writeDownloadLog(logPath_, {logEntry()}, error)) {
        logError_ = logPath_ + ": " + error;
    }
}

bool writeDownloadLog(const std::string& logPath,
                      const std::vector<std::pair<std::string, std::string>>& entries,
                      std::string& error)
{
    IniFile log;
    if (!log.load(logPath, &error)) {
        return false;
    }
    for (const auto& [key, value] : entries) {
        log.setValue("Download", key, value);
    }
    return log.save(logPath, &error);
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
        if (names_ == nullptr) {
            ownNames_ = std::make_unique<DownloadNames>();
            ownNames_->recordLog(logPath_);
        }
    }
    start_ = std::chrono::steady_clock::now();
    const HttpSession::BodyReader reader = [this](std::string_view block) {
        return write(block);
    };
    bool opened = false;
    // The address is tried plainly, then as the target of a form sent by
    // GET and by POST, as some servers answer only a form's request; a
    // server that cannot be reached or never answers is not asked again.
    for (const char* method : {"", "GET", "POST"}) {
        if (*method != '\0') {
            session_.setExtraHeader(std::string{"method=\""} + method + "\" action=\"" + address_ +
                                    "\"");
        }
        opened = session_.open(address_, reader);
        if (opened || cancelled_ || !openError_.empty() || session_.unanswered() ||
            session_.localFailure()) {
            break;
        }
    }
    if (opened && !cancelled_ && partPath_.empty() && openError_.empty()) {
        openFile(); // a page of no bytes is an empty file
    }
    readError_ = session_.readError();
    if (tooLarge_) {
        readError_ = "The page went past " + std::to_string(bounds_.mostBytes) +
                     " bytes, the most a download may take";
    }
    session_.release();
    if (!opened && openError_.empty()) {
        openError_ = session_.error();
    }
    // Half a page is not the page: only a whole one takes a name.
    const bool whole = opened && !cancelled_ && openError_.empty() && readError_.empty() &&
                       !writeFailed_ && !partPath_.empty();
    // The page's own fault, not this machine's: it began and did not end.
    failed_ = opened && !cancelled_ && !readError_.empty();
    if (!whole || !closeFile() || (!nameLater_ && !keepFile())) {
        discardFile();
    }
    if (!path_.empty() && !nameLater_) {
        writeLogEntry();
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
