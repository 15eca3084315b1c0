#pragma once

#include "tls_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tessaly::test {

// A real Apache 2 serving one WebDAV folder (mod_dav, mod_dav_fs) behind
// HTTP Basic authentication on a free loopback port, from a configuration
// written into `folder`: server root, pid file, locks and logs all stay
// there, and no system service is touched. The folder served is
// `folder`/dav; the user is "sync" with the password "secret". With
// `tls`, it answers https with a certificate of its own (cert.pem, to be
// named in CURL_CA_BUNDLE). The answers' headers named in `hidden` are
// taken out, as a server that does not send them would answer (its
// conditions still hold). When apache2 is not installed, running() is
// false and skipReason() says why.
class ApacheDavServer {
public:
    static constexpr const char* kUser = "sync";
    static constexpr const char* kPassword = "secret";

    explicit ApacheDavServer(std::string folder, bool tls = false,
                             std::vector<std::string> hidden = {})
        : folder_(std::move(folder)), tls_(tls), hidden_(std::move(hidden))
    {
        if (!installed()) {
            return;
        }
        prepareFolders();
        // A port found free may be taken before Apache binds it: try again.
        for (int attempt = 0; attempt < 3 && pid_ <= 0; ++attempt) {
            port_ = freePort();
            writeConfiguration();
            start();
        }
    }
    ~ApacheDavServer() { stop(); }
    ApacheDavServer(const ApacheDavServer&) = delete;
    ApacheDavServer& operator=(const ApacheDavServer&) = delete;

    bool running() const { return pid_ > 0; }
    const std::string& skipReason() const { return skipReason_; }
    int port() const { return port_; }
    std::string folderUrl() const
    {
        return std::string{tls_ ? "https" : "http"} + "://127.0.0.1:" + std::to_string(port_) +
               "/dav/";
    }
    // Where the server keeps a file of the folder on disk.
    std::string diskPath(const std::string& name) const { return folder_ + "/dav/" + name; }
    std::string certificate() const { return folder_ + "/cert.pem"; }

    // Writes a file of the folder behind the server's back, as another
    // client's write would leave it.
    void writeFile(const std::string& name, const std::string& bytes) const
    {
        const std::string path = diskPath(name);
        const std::string temporary = path + ".other";
        std::ofstream{temporary, std::ios::binary} << bytes;
        ::chmod(temporary.c_str(), 0666);
        std::filesystem::rename(temporary, path);
    }
    std::string readFile(const std::string& name) const
    {
        std::ifstream in{diskPath(name), std::ios::binary};
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(diskPath(name)); }
    // Sets a file's modification time `age` into the past.
    void age(const std::string& name, std::chrono::seconds age) const
    {
        const auto path = diskPath(name);
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - age);
    }
    std::string errorLog() const
    {
        std::ifstream in{folder_ + "/error.log"};
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    // How many requests of the log hold `request` ("GET /dav/bookmarks.xbel ").
    int requests(const std::string& request) const
    {
        // A request is logged once its answer has gone.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::ifstream in{folder_ + "/access.log"};
        int count = 0;
        for (std::string line; std::getline(in, line);) {
            count += line.find(request) != std::string::npos ? 1 : 0;
        }
        return count;
    }

private:
    static constexpr const char* kBinary = "/usr/sbin/apache2";
    static constexpr const char* kModules = "/usr/lib/apache2/modules";

    bool installed()
    {
        if (::access(kBinary, X_OK) != 0) {
            skipReason_ = "apache2 is not installed (scripts/install-deps.sh installs it)";
            return false;
        }
        for (const char* module :
             {"mod_dav.so", "mod_dav_fs.so", "mod_auth_basic.so", "mod_headers.so"}) {
            if (::access((std::string{kModules} + "/" + module).c_str(), R_OK) != 0) {
                skipReason_ = std::string{"apache2 has no "} + module;
                return false;
            }
        }
        if (::access("/usr/bin/htpasswd", X_OK) != 0) {
            skipReason_ = "htpasswd is not installed (apache2-utils)";
            return false;
        }
        return true;
    }

    static int freePort()
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(s);
        return ntohs(address.sin_port);
    }

    // Started by root, Apache serves as an unprivileged user, who must be
    // able to reach and write the folders.
    void prepareFolders()
    {
        for (const char* sub : {"/dav", "/locks", "/run"}) {
            std::filesystem::create_directories(folder_ + sub);
        }
        if (::geteuid() == 0) {
            ::chmod(folder_.c_str(), 0755);
            for (const char* sub : {"/dav", "/locks", "/run"}) {
                ::chmod((folder_ + sub).c_str(), 0777);
            }
        }
        if (tls_) {
            writeSelfSignedCertificate(folder_ + "/cert.pem", folder_ + "/key.pem");
            ::chmod((folder_ + "/key.pem").c_str(), 0644);
        }
        run({"/usr/bin/htpasswd", "-bcB", "-C", "4", folder_ + "/htpasswd", kUser, kPassword});
        ::chmod((folder_ + "/htpasswd").c_str(), 0644);
    }

    void writeConfiguration() const
    {
        std::ofstream conf{folder_ + "/apache.conf"};
        const std::string modules = kModules;
        conf << "ServerRoot \"" << folder_ << "\"\n"
             << "PidFile \"" << folder_ << "/run/apache.pid\"\n"
             << "DefaultRuntimeDir \"" << folder_ << "/run\"\n"
             << "Mutex file:" << folder_ << "/locks default\n"
             << "Listen 127.0.0.1:" << port_ << "\n"
             << "ServerName 127.0.0.1\n"
             << "ErrorLog \"" << folder_ << "/error.log\"\n"
             << "TransferLog \"" << folder_ << "/access.log\"\n"
             << "LogLevel warn\n";
        for (const char* module :
             {"mpm_prefork", "authn_core", "authn_file", "authz_core", "authz_user", "auth_basic",
              "alias", "dav", "dav_fs", "headers"}) {
            conf << "LoadModule " << module << "_module " << modules << "/mod_" << module
                 << ".so\n";
        }
        if (tls_) {
            conf << "LoadModule ssl_module " << modules << "/mod_ssl.so\n"
                 << "SSLEngine on\n"
                 << "SSLCertificateFile \"" << folder_ << "/cert.pem\"\n"
                 << "SSLCertificateKeyFile \"" << folder_ << "/key.pem\"\n";
        }
        for (const std::string& header : hidden_) {
            conf << "Header unset " << header << "\n";
        }
        if (::geteuid() == 0) {
            conf << "User nobody\nGroup nogroup\n";
        }
        conf << "StartServers 2\nMinSpareServers 2\nMaxSpareServers 4\n"
             << "MaxRequestWorkers 8\nTimeout 20\nKeepAliveTimeout 5\n"
             << "DavLockDB \"" << folder_ << "/locks/DavLock\"\n"
             << "Alias /dav \"" << folder_ << "/dav\"\n"
             << "<Directory \"" << folder_ << "/dav\">\n"
             << "  Dav On\n"
             << "  AuthType Basic\n"
             << "  AuthName \"Tessaly tests\"\n"
             << "  AuthUserFile \"" << folder_ << "/htpasswd\"\n"
             << "  Require valid-user\n"
             << "</Directory>\n";
    }

    // An argument vector for posix_spawn, pointing into `arguments`.
    static std::vector<char*> pointers(const std::vector<std::string>& arguments)
    {
        std::vector<char*> argv;
        for (const auto& a : arguments) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        return argv;
    }

    static void run(const std::vector<std::string>& arguments)
    {
        std::vector<char*> argv = pointers(arguments);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        if (::posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
        posix_spawn_file_actions_destroy(&quiet);
    }

    bool answers() const
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(s);
        return ok;
    }

    void start()
    {
        const std::string conf = folder_ + "/apache.conf";
        std::vector<std::string> arguments{kBinary, "-d", folder_, "-f", conf, "-DFOREGROUND"};
        std::vector<char*> argv = pointers(arguments);
        // In a process group of its own: at its end Apache signals its
        // whole group, which must not take the tests with it.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        pid_t pid = 0;
        const int spawned =
            ::posix_spawn(&pid, kBinary, nullptr, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        if (spawned != 0) {
            skipReason_ = "apache2 could not be started";
            return;
        }
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                skipReason_ = "apache2 stopped at once: " + errorLog();
                return;
            }
            if (answers()) {
                pid_ = pid;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        skipReason_ = "apache2 did not open its port: " + errorLog();
    }

    void stop()
    {
        if (pid_ <= 0) {
            return;
        }
        ::kill(pid_, SIGTERM);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = 0;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

    std::string folder_;
    bool tls_ = false;
    std::vector<std::string> hidden_;
    int port_ = 0;
    pid_t pid_ = 0;
    std::string skipReason_;
};

} // namespace tessaly::test
