// Whole pages: downloading one page of 200 MB from a local server (the
// download against `curl -o` of the same address in the same run, and the
// memory it takes), then analysing 1,000 pages of 40 KB on fifty local
// servers that take 50 ms per answer (the batch, as tessaly-cli analyze
// runs it, against the servers' own limit at the same concurrency: every
// page read whole by a plain loop, and the memory the run takes).
#include "core/database.h"
#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "links/page_analysis.h"
#include "links/page_download.h"
#include "local_http.h"
#include "quiet_ui.h"

#include <httplib.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

namespace {

using namespace tessaly;
using Clock = std::chrono::steady_clock;

constexpr int kPages = 1000;
constexpr std::size_t kPageSize = 40 * 1000;
constexpr auto kDelay = std::chrono::milliseconds(50);
constexpr std::size_t kBigSize = 200UL * 1000 * 1000;

std::string page()
{
    std::string out = "<html><head><title>Page</title><meta name=\"keywords\" "
                      "content=\"one, two\"></head><body>";
    while (out.size() < kPageSize) {
        out += "<p>Some text of the page, with <b>tags</b> in it.</p>\n";
    }
    out.resize(kPageSize);
    return out;
}

std::unique_ptr<bench::LocalHttp> startServer(const std::string& ip)
{
    return bench::startLocalHttp(ip, [](httplib::Server& http) {
        http.Get("/page", [body = page()](const httplib::Request&, httplib::Response& r) {
            std::this_thread::sleep_for(kDelay);
            r.set_content(body, "text/html");
        });
        // The big page is made as it goes out, so the server holds none of it.
        http.Get("/big", [](const httplib::Request&, httplib::Response& r) {
            r.set_content_provider(
                kBigSize, "application/octet-stream",
                [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                    static const std::string block(1 << 16, 'x');
                    const std::size_t n = std::min({length, block.size(), kBigSize - offset});
                    return sink.write(block.data(), n);
                });
        });
    });
}

// The process's resident memory now and at its peak, in MB.
std::pair<double, double> memory()
{
    long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        long size = 0;
        if (std::fscanf(f, "%ld %ld", &size, &pages) != 2) {
            pages = 0;
        }
        std::fclose(f);
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return {static_cast<double>(pages) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1e6,
            static_cast<double>(usage.ru_maxrss) / 1e3};
}

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void download(const std::string& url, const std::string& folder)
{
    const auto [before, peakBefore] = memory();
    PageDownload ours{folder + "/ours.bin", url, folder + "/DOWNLOAD.LOG", dates::today()};
    auto start = Clock::now();
    ours.run();
    const double oursSeconds = seconds(start);
    const auto [after, peakAfter] = memory();
    const bool whole =
        ours.complete() && std::filesystem::file_size(folder + "/ours.bin") == kBigSize;
    std::filesystem::remove(folder + "/ours.bin");

    start = Clock::now();
    const std::string command = "curl -s -o " + folder + "/curl.bin " + url;
    const int status = std::system(command.c_str());
    const double curlSeconds = seconds(start);
    std::filesystem::remove(folder + "/curl.bin");
    std::printf("download: one page of %zu MB from a local server\n", kBigSize / 1000000);
    std::printf("  ours %.2f s (%.0f MB/s), curl -o %.2f s (%.0f MB/s): %.2fx of curl's "
                "throughput; written whole: %s\n",
                oursSeconds, static_cast<double>(kBigSize) / 1e6 / oursSeconds, curlSeconds,
                static_cast<double>(kBigSize) / 1e6 / curlSeconds, curlSeconds / oursSeconds,
                whole ? "yes" : "NO");
    if (status != 0) {
        std::printf("  (curl failed or is not installed: the peer figure is not meaningful)\n");
    }
    std::printf("  memory: resident %.1f MB before, %.1f MB after; peak grew by %.1f MB\n", before,
                after, peakAfter - peakBefore);
}

// Pages per second the servers allow at `jobs` whole pages at once.
double serverLimit(const std::vector<std::string>& list, int jobs)
{
    return bench::serverLimit(
        list.size(), [&list](std::size_t i) { return list[i]; }, jobs);
}

void analyse(const std::vector<std::string>& list, const std::string& folder)
{
    bench::QuietUi ui;
    MessageManager messages{ui};
    const LinkBatchOptions defaults;
    double rate = 0;
    std::int64_t passed = 0;
    const auto [before, peakBefore] = memory();
    {
        Database db{messages, folder};
        FileManager& bookmarks = db.bookmarks();
        bookmarks.use();
        bookmarks.file().stream();
        for (const std::string& url : list) {
            Record r{bookmarkTable()};
            r.setText(BookmarkField::Location, url);
            bookmarks.file().add(r);
        }
        bookmarks.file().flush();
        bookmarks.close();
        LinkBatchOptions options = defaults;
        options.lookAhead = kPageAnalysisLookAhead;
        LinkBatch batch{db, dates::today(), options, pageAnalysisJobs(db, dates::today())};
        const auto start = Clock::now();
        const LinkBatchSummary summary = batch.run(nullptr, {});
        rate = static_cast<double>(list.size()) / seconds(start);
        passed = summary.passed;
    }
    const auto [after, peakAfter] = memory();
    const double limit = serverLimit(list, defaults.jobs);
    std::printf("analysis: %d pages of %zu KB on 50 hosts, %d ms per answer, %d at once, %d per "
                "host\n",
                kPages, kPageSize / 1000, static_cast<int>(kDelay.count()), defaults.jobs,
                defaults.perHost);
    std::printf("  %.0f pages/s, servers' limit at %d at once %.0f pages/s: %.2fx of the limit; "
                "analysed as passed: %lld of %d\n",
                rate, defaults.jobs, limit, rate / limit, static_cast<long long>(passed), kPages);
    std::printf("  memory: resident %.1f MB before, %.1f MB after; peak grew by %.1f MB\n", before,
                after, peakAfter - peakBefore);
}

} // namespace

int main()
{
    FileVersionLayer::instance().registerDatabaseFiles();
    const std::string folder = "/tmp/tessaly-page-bench-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    std::vector<std::unique_ptr<bench::LocalHttp>> servers;
    for (int i = 2; i <= 51; ++i) {
        servers.push_back(startServer("127.0.0." + std::to_string(i)));
    }
    // The download first: the analysis raises the peak memory it measures.
    download(servers[0]->base + "/big", folder);
    std::vector<std::string> list;
    for (int i = 0; i < kPages; ++i) {
        list.push_back(servers[static_cast<std::size_t>(i) % servers.size()]->base +
                       "/page?n=" + std::to_string(i));
    }
    analyse(list, folder);
    std::filesystem::remove_all(folder);
    return 0;
}
