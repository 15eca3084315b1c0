#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace tessaly::test {

// Just enough of an FTP server for one anonymous download: the control
// conversation a client holds for "RETR", one passive data connection with
// `content`, and the "226" reply after it.
class FtpResponder {
public:
    explicit FtpResponder(std::string content) : content_(std::move(content))
    {
        control_ = listenOnLoopback(port_);
        data_ = listenOnLoopback(dataPort_);
        thread_ = std::thread([this] { serve(); });
    }
    ~FtpResponder()
    {
        ::shutdown(control_, SHUT_RDWR);
        ::shutdown(data_, SHUT_RDWR);
        ::close(control_);
        ::close(data_);
        thread_.join();
    }
    FtpResponder(const FtpResponder&) = delete;
    FtpResponder& operator=(const FtpResponder&) = delete;

    std::string url(const std::string& file) const
    {
        return "ftp://127.0.0.1:" + std::to_string(port_) + "/" + file;
    }

private:
    static int listenOnLoopback(int& port)
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(s, 4);
        socklen_t length = sizeof address;
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        return s;
    }

    static void send(int s, const std::string& line) { ::write(s, line.data(), line.size()); }

    static bool readLine(int s, std::string& line)
    {
        line.clear();
        char c = 0;
        while (::read(s, &c, 1) == 1) {
            if (c == '\n') {
                return true;
            }
            if (c != '\r') {
                line += c;
            }
        }
        return false;
    }

    void serve()
    {
        const int client = ::accept(control_, nullptr, nullptr);
        if (client < 0) {
            return;
        }
        send(client, "220 Test responder ready\r\n");
        std::string line;
        while (readLine(client, line)) {
            const std::string verb = line.substr(0, line.find(' '));
            if (verb == "USER") {
                send(client, "331 Send a password\r\n");
            } else if (verb == "PASS") {
                send(client, "230 Logged in\r\n");
            } else if (verb == "PWD") {
                send(client, "257 \"/\" is the folder\r\n");
            } else if (verb == "EPSV") {
                send(client, "229 Entering Extended Passive Mode (|||" + std::to_string(dataPort_) +
                                 "|)\r\n");
            } else if (verb == "SIZE") {
                send(client, "213 " + std::to_string(content_.size()) + "\r\n");
            } else if (verb == "RETR") {
                const int data = ::accept(data_, nullptr, nullptr);
                send(client, "150 Here it comes\r\n");
                send(data, content_);
                ::close(data);
                send(client, "226 Transfer complete\r\n");
            } else if (verb == "QUIT") {
                send(client, "221 Goodbye\r\n");
                break;
            } else {
                send(client, "200 OK\r\n");
            }
        }
        ::close(client);
    }

    std::string content_;
    int control_ = -1;
    int data_ = -1;
    int port_ = 0;
    int dataPort_ = 0;
    std::thread thread_;
};

} // namespace tessaly::test
