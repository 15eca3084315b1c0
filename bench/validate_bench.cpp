// Testing 2,000 bookmarks against local servers that take 50 ms per answer:
// the link batch (as tessaly-cli validate runs it) against the servers'
// own limit at the same concurrency (a plain load loop), and against
// linkchecker when it is installed. Fifty servers on 127.0.0.2 to
// 127.0.0.51 answer a mix of 200, 301 to 200, 404 and 500; the single-host
// case puts all 2,000 on 127.0.0.1, where the per-host limit decides. The
// dead-host case puts a server that accepts and never answers first in the
// order, under a desktop's limit of 1,024 open files: the batch waits its
// stall time for it while testing ahead, and must still classify every
// live page right.
#include "core/database.h"
#include "core/file_version.h"
#include "core/tables.h"
#include "framework/dates.h"
#include "links/link_batch.h"
#include "local_http.h"
#include "quiet_ui.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace tessaly;
using Clock = std::chrono::steady_clock;

constexpr int kAddresses = 2000;
constexpr auto kDelay = std::chrono::milliseconds(50);

using Server = tessaly::bench::LocalHttp;

std::unique_ptr<Server> startServer(const std::string& ip)
{
    return tessaly::bench::startLocalHttp(ip, [](httplib::Server& http) {
        const auto answer = [](int status) {
            return [status](const httplib::Request&, httplib::Response& response) {
                std::this_thread::sleep_for(kDelay);
                response.set_header("LinkChecker", "allowed"); // lifts its 10-per-second ceiling
                response.status = status;
                response.set_content("<title>Page</title>", "text/html");
            };
        };
        http.Get("/ok", answer(200));
        http.Get("/missing", answer(404));
        http.Get("/error", answer(500));
        http.Get("/moved", [](const httplib::Request&, httplib::Response& response) {
            std::this_thread::sleep_for(kDelay);
            response.set_header("LinkChecker", "allowed");
            response.set_redirect("/ok", 301);
        });
    });
}

struct Address {
    std::string url;
    int truth; // the result the servers' answers call for
};

std::vector<Address> addresses(const std::vector<std::unique_ptr<Server>>& servers)
{
    const std::pair<const char*, int> paths[] = {
        {"/ok", kLinkPass}, {"/moved", kLinkPass}, {"/missing", kLinkFail}, {"/error", kLinkFail}};
    std::vector<Address> out;
    for (int i = 0; i < kAddresses; ++i) {
        const auto& [path, truth] = paths[i % 4];
        out.push_back({servers[static_cast<std::size_t>(i) % servers.size()]->base + path +
                           "?n=" + std::to_string(i),
                       truth});
    }
    return out;
}

// An address on 127.0.0.1 whose server takes the connection (the kernel's
// backlog does) and never answers; the socket stays open for the run.
std::string deadAddress()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(s, 64);
    socklen_t length = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/dead";
}

// Links per second of the batch, and whether every result matched.
std::pair<double, bool> runBatch(const std::vector<Address>& list, int jobs, int perHost)
{
    const std::string folder = "/tmp/tessaly-validate-bench-" + std::to_string(::getpid());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    tessaly::bench::QuietUi ui;
    MessageManager messages{ui};
    std::pair<double, bool> figures{0, true};
    {
        Database db{messages, folder};
        FileManager& bookmarks = db.bookmarks();
        bookmarks.use();
        bookmarks.file().stream();
        for (const Address& a : list) {
            Record r{bookmarkTable()};
            r.setText(BookmarkField::Location, a.url);
            r.setText(BookmarkField::Description, "known");
            r.setText(BookmarkField::SiteInfo, "known");
            bookmarks.file().add(r);
        }
        bookmarks.file().flush();
        bookmarks.close();
        std::map<std::string, int> results;
        LinkBatch batch{db, dates::today(), LinkBatchOptions{.jobs = jobs, .perHost = perHost}};
        const auto start = Clock::now();
        batch.run(nullptr,
                  [&](const LinkBatchItem& item) { results[item.location] = item.result; });
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        figures.first = static_cast<double>(list.size()) / seconds;
        for (const Address& a : list) {
            figures.second = figures.second && results[a.url] == a.truth;
        }
    }
    std::filesystem::remove_all(folder);
    return figures;
}

// Links per second the servers allow at `jobs` requests at once.
double serverLimit(const std::vector<Address>& list, int jobs)
{
    return bench::serverLimit(
        list.size(), [&list](std::size_t i) { return list[i].url; }, jobs);
}

// Links per second of linkchecker with `threads` threads and its per-host
// throttle lifted (a rate above 10 per second takes effect only where the
// servers answer with a "LinkChecker" header, as ours do), no robots.txt
// requests, and the links it reports having checked; 0 when it is not
// installed.
std::pair<double, long> linkchecker(const std::vector<Address>& list, int threads)
{
    if (std::system("command -v linkchecker >/dev/null 2>&1") != 0) {
        return {0, 0};
    }
    const std::string dir = "/tmp/tessaly-linkchecker-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    {
        std::ofstream page{dir + "/links.html"};
        page << "<html><body>\n";
        for (const Address& a : list) {
            page << "<a href=\"" << a.url << "\">x</a>\n";
        }
        page << "</body></html>\n";
        std::ofstream config{dir + "/linkcheckerrc"};
        // The same stall time as the batch's, for the dead host.
        config << "[checking]\nthreads=" << threads << "\ntimeout=" << HttpLimits{}.stallSeconds
               << "\nmaxrequestspersecond=10000\nrecursionlevel=1\nrobotstxt=0\n"
               << "[filtering]\ncheckextern=1\n[output]\nstatus=0\n";
    }
    const auto start = Clock::now();
    // It drops to "nobody" when run as root, so its summary goes to a file
    // this process writes.
    std::filesystem::permissions(dir, std::filesystem::perms::all);
    const std::string command = "linkchecker --config " + dir + "/linkcheckerrc --no-warnings " +
                                dir + "/links.html >" + dir + "/out.txt 2>&1";
    [[maybe_unused]] const int status = std::system(command.c_str());
    const double rate = static_cast<double>(list.size()) /
                        std::chrono::duration<double>(Clock::now() - start).count();
    // "That's it. 2001 links in 2001 URLs checked. ..."
    long checked = 0;
    std::ifstream out{dir + "/out.txt"};
    for (std::string line; std::getline(out, line);) {
        if (const auto at = line.find("That's it. "); at != std::string::npos) {
            checked = std::atol(line.c_str() + at + 11);
        }
    }
    std::filesystem::remove_all(dir);
    return {rate, checked};
}

} // namespace

int main()
{
    FileVersionLayer::instance().registerDatabaseFiles();
    std::vector<std::unique_ptr<Server>> many;
    for (int i = 2; i <= 51; ++i) {
        many.push_back(startServer("127.0.0." + std::to_string(i)));
    }
    std::vector<std::unique_ptr<Server>> one;
    one.push_back(startServer("127.0.0.1"));

    const LinkBatchOptions defaults;
    std::printf("link batch: %d addresses, %d ms per answer, %d tests at once, %d per host\n",
                kAddresses, static_cast<int>(kDelay.count()), defaults.jobs, defaults.perHost);
    const auto spread = addresses(many);
    // At the default number at once, and at the most the setting allows.
    std::vector<std::pair<int, double>> rates;
    bool allRight = true;
    for (const int jobs : {defaults.jobs, kMostLinkTestJobs}) {
        const auto [rate, right] = runBatch(spread, jobs, defaults.perHost);
        const double limit = serverLimit(spread, jobs);
        std::printf("  50 hosts, %d at once: %.0f links/s, servers' limit at %d at once %.0f "
                    "links/s: %.2fx of the limit (goal at least 0.5x); classified right: %s\n",
                    jobs, rate, jobs, limit, rate / limit, right ? "all" : "NOT ALL");
        rates.emplace_back(jobs, rate);
        allRight = allRight && right;
    }
    double best = 0;
    int bestThreads = 0;
    for (const int threads : {10, 25, 50, 100}) {
        const auto [lc, checked] = linkchecker(spread, threads);
        if (lc > 0) {
            std::printf("  linkchecker, %d threads: %.0f links/s (%ld links reported checked)\n",
                        threads, lc, checked);
        }
        if (lc > best) {
            best = lc;
            bestThreads = threads;
        }
    }
    if (best > 0) {
        for (const auto& [jobs, rate] : rates) {
            std::printf("  linkchecker best (%d threads): %.0f links/s: batch at %d at once is "
                        "%.1fx (goal 5x)\n",
                        bestThreads, best, jobs, rate / best);
        }
    } else {
        std::printf("  linkchecker not installed (apt install linkchecker): no peer figure\n");
    }
    const auto single = addresses(one);
    const auto [singleRate, singleRight] = runBatch(single, defaults.jobs, defaults.perHost);
    const double singleLimit = serverLimit(single, defaults.perHost);
    std::printf("  one host: %.0f links/s against the servers' limit at %d at once %.0f links/s: "
                "%.2fx; classified right: %s\n",
                singleRate, defaults.perHost, singleLimit, singleRate / singleLimit,
                singleRight ? "all" : "NOT ALL");

    // Last, as the lowered hard limit cannot be raised again.
    const rlimit desktop{1024, 1024};
    if (::setrlimit(RLIMIT_NOFILE, &desktop) == 0) {
        auto dead = spread;
        dead.insert(dead.begin(), {deadAddress(), kLinkFail});
        const auto [deadRate, deadRight] = runBatch(dead, defaults.jobs, defaults.perHost);
        const double deadLimit = serverLimit(dead, defaults.jobs);
        std::printf("  dead host first, open files limited to 1024, %d s stall time: %.0f "
                    "links/s against the servers' limit at %d at once %.0f links/s: %.2fx; "
                    "classified right: %s\n",
                    static_cast<int>(HttpLimits{}.stallSeconds), deadRate, defaults.jobs, deadLimit,
                    deadRate / deadLimit, deadRight ? "all" : "NOT ALL");
        if (best > 0) {
            const auto [lc, checked] = linkchecker(dead, bestThreads);
            std::printf("  linkchecker on the same, %d threads: %.0f links/s (%ld links reported "
                        "checked): batch is %.1fx\n",
                        bestThreads, lc, checked, deadRate / lc);
        }
        allRight = allRight && deadRight;
    }

    return allRight && singleRight ? 0 : 1;
}
