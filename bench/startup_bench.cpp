// Time from starting the program to the first painted frame, with an empty
// database and with 100,000 bookmarks, against a bare Qt main window started
// the same way (a process of its own on the offscreen platform each time).
#include "core/database.h"
#include "core/file_version.h"
#include "core/services.h"
#include "core/tables.h"
#include "frame/main_frame.h"
#include "framework/qt_ui_port.h"
#include "platform/data_folder.h"
#include "quiet_ui.h"

#include <QApplication>
#include <QMainWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Ends the process at the window's first paint.
class FirstPaint final : public QObject {
public:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            std::fflush(nullptr);
            std::_Exit(0);
        }
        return false;
    }
};

int child(int argc, char** argv, const std::string& mode, const std::string& folder)
{
    QApplication application(argc, argv);
    FirstPaint firstPaint;
    if (mode == "bare") {
        QMainWindow window;
        window.setWindowTitle(QStringLiteral("Bare"));
        window.installEventFilter(&firstPaint);
        window.show();
        return QApplication::exec();
    }
    tessaly::enterDataFolder(folder);
    tessaly::gui::QtUiPort ui;
    tessaly::Services services{ui};
    services.start();
    tessaly::gui::MainFrame frame{services};
    if (!frame.initialise()) {
        return 1;
    }
    frame.installEventFilter(&firstPaint);
    frame.show();
    return QApplication::exec();
}

double runChild(const char* self, const std::string& mode, const std::string& folder)
{
    std::vector<std::string> args = {self, "--child", mode, folder};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void fill(const std::string& folder, int count)
{
    using namespace tessaly;
    FileVersionLayer::instance().registerDatabaseFiles();
    tessaly::bench::QuietUi ui;
    MessageManager messages{ui};
    Database db{messages, folder};
    db.bookmarks().open();
    db.bookmarks().file().stream();
    Record r{bookmarkTable()};
    for (int i = 0; i < count; ++i) {
        r.setText(BookmarkField::Location, "http://site" + std::to_string(i) + ".example/");
        r.setText(BookmarkField::Description, "Site " + std::to_string(i));
        r.setText(BookmarkField::Category, "Category" + std::to_string(i % 40));
        db.bookmarks().file().add(r);
    }
    db.bookmarks().file().flush();
    std::printf("database with %lld bookmarks made\n",
                static_cast<long long>(db.bookmarks().file().records()));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string{argv[1]} == "--child") {
        return child(argc, argv, argv[2], argv[3]);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_LOGGING_RULES", "qt.*=false", 1);
    const std::string runtime = std::filesystem::temp_directory_path() / "tessaly-bench-runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 0);
    const std::string base = std::filesystem::temp_directory_path() / "tessaly-startup-bench";
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base + "/empty");
    std::filesystem::create_directories(base + "/full");
    fill(base + "/full", 100000);
    const char* self = argv[0];
    constexpr int kRuns = 7;
    std::vector<double> bare, empty, full;
    for (int i = 0; i < kRuns; ++i) {
        bare.push_back(runChild(self, "bare", base));
        empty.push_back(runChild(self, "frame", base + "/empty"));
        full.push_back(runChild(self, "frame", base + "/full"));
    }
    std::filesystem::remove_all(base);
    if (std::min({*std::min_element(bare.begin(), bare.end()),
                  *std::min_element(empty.begin(), empty.end()),
                  *std::min_element(full.begin(), full.end())}) < 0) {
        std::printf("a start failed\n");
        return 1;
    }
    const double b = median(bare);
    std::printf("Start to first painted frame (median of %d, offscreen)\n", kRuns);
    std::printf("%-36s %8s %8s\n", "", "ms", "ratio");
    std::printf("%-36s %8.1f %8.2f\n", "bare Qt main window", b * 1e3, 1.0);
    std::printf("%-36s %8.1f %8.2f\n", "tessaly, empty database", median(empty) * 1e3,
                median(empty) / b);
    std::printf("%-36s %8.1f %8.2f\n", "tessaly, 100,000 bookmarks", median(full) * 1e3,
                median(full) / b);
    return 0;
}
