// Whole pages: downloading one page of 200 MB from a local server (the
// download against `curl -o` of the same address in the same run, and the
// memory it takes); the download batch of 400 pages on eight local servers
// that take 50 ms per answer (as tessaly-cli download runs it, against the
// servers' limit at the same concurrency and against curl fetching the same
// pages 128 at a time); then analysing 1,000 pages of 40 KB on fifty local
// servers that take 50 ms per answer (the batch, as tessaly-cli analyze
// runs it, against the servers' own limit at the same concurrency: every
// page read whole by a plain loop, and the memory the run takes). Files go
// to $TESSALY_BENCH_DIR, else under the build tree: on disk.
#include "core/database.h"
#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "links/download_batch.h"
#include "links/page_analysis.h"
#include "links/page_download.h"
#include "local_http.h"
#include "quiet_ui.h"
#include "scratch.h"

#include <httplib.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace {

using namespace tessaly;
using Clock = std::chrono::steady_clock;

constexpr int kPages = 1000;
constexpr std::size_t kPageSize = 40 * 1000;
constexpr auto kDelay = std::chrono::milliseconds(50);
constexpr std::size_t kBigSize = 200UL * 1000 * 1000;
constexpr int kDownloads = 400;
constexpr int kDownloadHosts = 8;
constexpr double kGoal = 0.8;

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
        // The download batch's pages: a page of 10 KB under a name of its own.
        http.Get(R"(/doc/(\d+)\.html)", [](const httplib::Request&, httplib::Response& r) {
            std::this_thread::sleep_for(kDelay);
            r.set_content(std::string(10000, 'd'), "text/html");
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

double seconds(Clock::time_point since);

// The processor time this process has used, user and system.
double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto of = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return of(usage.ru_utime) + of(usage.ru_stime);
}

// A bookmark for each address, in one transaction.
void addBookmarks(Database& db, const std::vector<std::string>& list)
{
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
}

// The download batch as tessaly-cli download runs it: seconds for the run,
// and whether every page was saved.
std::pair<double, bool> downloadBatch(const std::vector<std::string>& list,
                                      const std::string& folder, int perHost)
{
    const std::string data = folder + "/data-" + std::to_string(perHost);
    const std::string into = folder + "/pages-" + std::to_string(perHost);
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(into);
    bench::QuietUi ui;
    MessageManager messages{ui};
    Database db{messages, data};
    addBookmarks(db, list);
    DownloadBatch batch{db, ui, dates::today(), data + "/DOWNLOAD.LOG"};
    batch.setAskForQuery(false);
    batch.setJobs(kDefaultLinkTestJobs, perHost);
    const auto start = Clock::now();
    const DownloadSummary summary = batch.run("", [&] { return std::optional{into}; });
    return {seconds(start), summary.saved == static_cast<std::int64_t>(list.size())};
}

// curl fetching the same pages 128 at a time: seconds for the run.
double curlDownloads(const std::vector<std::string>& list, const std::string& folder)
{
    const std::string into = folder + "/curl";
    std::filesystem::create_directories(into);
    {
        std::ofstream config{folder + "/curl.config"};
        for (std::size_t i = 0; i < list.size(); ++i) {
            config << "url = \"" << list[i] << "\"\noutput = \"" << into << "/" << i << ".html\"\n";
        }
    }
    const std::string command =
        "curl -s --parallel --parallel-max 128 -K " + folder + "/curl.config 2>/dev/null";
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    return status == 0 ? seconds(start) : 0.0;
}

void downloads(const std::vector<std::unique_ptr<bench::LocalHttp>>& servers,
               const std::string& folder)
{
    std::vector<std::string> list;
    for (int i = 0; i < kDownloads; ++i) {
        list.push_back(servers[static_cast<std::size_t>(i % kDownloadHosts)]->base + "/doc/" +
                       std::to_string(i) + ".html");
    }
    const int perHost = kDefaultLinkTestsPerHost;
    const int atOnce = std::min(kDefaultLinkTestJobs, perHost * kDownloadHosts);
    const auto [ours, whole] = downloadBatch(list, folder, perHost);
    const double limit = bench::serverLimit(
        list.size(), [&list](std::size_t i) { return list[i]; }, atOnce);
    const double curl = curlDownloads(list, folder);
    // The same with a per-host limit that lets all 128 jobs run at once.
    const int widePerHost = kDefaultLinkTestJobs / kDownloadHosts;
    const auto [wide, wideWhole] = downloadBatch(list, folder, widePerHost);
    const double rate = static_cast<double>(list.size()) / ours;
    std::printf("download batch: %d pages of 10 KB on %d hosts, %d ms per answer, %d per host "
                "(%d at once)\n",
                kDownloads, kDownloadHosts, static_cast<int>(kDelay.count()), perHost, atOnce);
    std::printf("  ours %.2f s (%.0f pages/s), servers' limit at %d at once %.0f pages/s: %.2fx "
                "of the limit (goal at least %.1fx: %s); saved whole: %s\n",
                ours, rate, atOnce, limit, rate / limit, kGoal,
                rate / limit >= kGoal ? "met" : "NOT met", whole ? "all" : "NOT ALL");
    if (curl > 0) {
        std::printf("  curl 128 at a time %.2f s: ours at %d per host %.2fx of curl's rate, at %d "
                    "per host (128 at once) %.2f s, %.2fx of curl's rate (goal at least %.1fx: "
                    "%s); saved whole: %s\n",
                    curl, perHost, curl / ours, widePerHost, wide, curl / wide, kGoal,
                    curl / wide >= kGoal ? "met" : "NOT met", wideWhole ? "all" : "NOT ALL");
    } else {
        std::printf("  (curl failed or is not installed: its figure is left out)\n");
    }
}

// Pages per second the servers allow at `jobs` whole pages at once.
double serverLimit(const std::vector<std::string>& list, int jobs)
{
    return bench::serverLimit(
        list.size(), [&list](std::size_t i) { return list[i]; }, jobs);
}

// The analysis batch in a process of its own, so that its peak memory is
// its own: pages per second and the growth of the resident memory.
void analyse(const std::vector<std::string>& list, const std::string& folder)
{
    const LinkBatchOptions defaults;
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        bench::QuietUi ui;
        MessageManager messages{ui};
        const std::string data = folder + "/analysis-" + std::to_string(list.size());
        std::filesystem::create_directories(data);
        const auto [before, peakBefore] = memory();
        double rate = 0;
        double cpu = 0;
        double cpuBefore = 0;
        std::int64_t passed = 0;
        {
            Database db{messages, data};
            addBookmarks(db, list);
            LinkBatchOptions options = defaults;
            options.lookAhead = kPageAnalysisLookAhead;
            LinkBatch batch{db, dates::today(), options, pageAnalysisJobs(db, dates::today())};
            const auto start = Clock::now();
            cpuBefore = cpuSeconds();
            const LinkBatchSummary summary = batch.run(nullptr, {});
            rate = static_cast<double>(list.size()) / seconds(start);
            cpu = cpuSeconds() - cpuBefore;
            passed = summary.passed;
        }
        const auto [after, peakAfter] = memory();
        const double limitCpuBefore = cpuSeconds();
        const double limit = serverLimit(list, defaults.jobs);
        const double limitCpu = cpuSeconds() - limitCpuBefore;
        std::printf("analysis: %zu pages of %zu KB on 50 hosts, %d ms per answer, %d at once, %d "
                    "per host\n",
                    list.size(), kPageSize / 1000, static_cast<int>(kDelay.count()), defaults.jobs,
                    defaults.perHost);
        std::printf("  %.0f pages/s, servers' limit at %d at once %.0f pages/s: %.2fx of the limit "
                    "(goal at least %.1fx: %s); analysed as passed: %lld of %zu\n",
                    rate, defaults.jobs, limit, rate / limit, kGoal,
                    rate / limit >= kGoal ? "met" : "NOT met", static_cast<long long>(passed),
                    list.size());
        // On a busy machine the processor, not the servers, may set the pace.
        std::printf("  processor time per page: %.2f ms, the plain loop's %.2f ms\n",
                    cpu * 1000 / static_cast<double>(list.size()),
                    limitCpu * 1000 / static_cast<double>(list.size()));
        const double growth = std::max(peakAfter, after) - before;
        std::printf("  memory: resident %.1f MB before, %.1f MB after, peak %.1f MB: grew by "
                    "%.1f MB at most (goal at most 20 MB: %s)\n",
                    before, after, peakAfter, growth, growth <= 20 ? "met" : "NOT met");
        std::fflush(stdout);
        std::_Exit(0);
    }
    ::waitpid(child, nullptr, 0);
}

} // namespace

int main(int /*argc*/, char** argv)
{
    FileVersionLayer::instance().registerDatabaseFiles();
    const bench::ScratchFolder scratch{"tessaly-page-bench"};
    const std::string& folder = scratch.path;
    std::printf("scratch folder %s: %s\n", folder.c_str(), bench::fileSystemType(folder).c_str());
    std::vector<std::unique_ptr<bench::LocalHttp>> servers;
    for (int i = 2; i <= 51; ++i) {
        servers.push_back(startServer("127.0.0." + std::to_string(i)));
    }
    // The download first: the analysis raises the peak memory it measures.
    download(servers[0]->base + "/big", folder);
    downloads(servers, folder);
    // The memory must stay flat whatever the number of pages: four times as
    // many grow it no more.
    for (const int pages : {kPages, 4 * kPages}) {
        std::vector<std::string> list;
        for (int i = 0; i < pages; ++i) {
            list.push_back(servers[static_cast<std::size_t>(i) % servers.size()]->base +
                           "/page?n=" + std::to_string(i));
        }
        analyse(list, folder);
    }
    std::printf("reproduce: %s/page_bench (TESSALY_BENCH_DIR chooses the scratch folder)\n",
                std::filesystem::path{argv[0]}.parent_path().c_str());
    return 0;
}
