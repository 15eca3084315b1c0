#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tessaly::test {

// A loopback server that plays a script on each connection it takes: the
// way to be the misbehaving servers no well-kept server library will be.
// The script writes with send() and waits with pause(), which returns
// false as soon as the server is going away.
class RawServer {
public:
    class Connection {
    public:
        Connection(int socket, const std::atomic<bool>& stopping)
            : socket_(socket), stopping_(stopping)
        {}
        // Reads the request's head (up to the blank line).
        std::string request()
        {
            std::string head;
            char c = 0;
            while (head.find("\r\n\r\n") == std::string::npos && waitReadable() &&
                   ::read(socket_, &c, 1) == 1) {
                head.push_back(c);
            }
            head_ = head;
            return head;
        }
        // The head of the request read last.
        const std::string& head() const { return head_; }
        // Reads `size` bytes of a request's body, fewer when the client goes.
        std::string read(std::size_t size)
        {
            std::string body(size, '\0');
            std::size_t got = 0;
            while (got < size && waitReadable()) {
                const ssize_t n = ::read(socket_, body.data() + got, size - got);
                if (n <= 0) {
                    break;
                }
                got += static_cast<std::size_t>(n);
            }
            body.resize(got);
            return body;
        }
        // A client that has gone makes the write fail, not end the process.
        void send(std::string_view bytes)
        {
            ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        }
        bool pause(std::chrono::milliseconds time)
        {
            const auto end = std::chrono::steady_clock::now() + time;
            while (!stopping_ && std::chrono::steady_clock::now() < end) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            return !stopping_;
        }

    private:
        bool waitReadable()
        {
            pollfd p{socket_, POLLIN, 0};
            while (!stopping_) {
                if (::poll(&p, 1, 50) != 0) {
                    return true;
                }
            }
            return false;
        }
        int socket_;
        const std::atomic<bool>& stopping_;
        std::string head_;
    };
    using Script = std::function<void(Connection&)>;

    explicit RawServer(Script script) : script_(std::move(script))
    {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(socket_, 16);
        socklen_t length = sizeof address;
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] { accept(); });
    }
    ~RawServer()
    {
        stopping_ = true;
        acceptor_.join();
        for (std::thread& t : connections_) {
            t.join();
        }
        ::close(socket_);
    }
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    std::string url(std::string_view path = "/") const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + std::string{path};
    }

private:
    void accept()
    {
        pollfd p{socket_, POLLIN, 0};
        while (!stopping_) {
            if (::poll(&p, 1, 20) <= 0) {
                continue;
            }
            const int s = ::accept(socket_, nullptr, nullptr);
            if (s < 0) {
                continue;
            }
            connections_.emplace_back([this, s] {
                Connection connection{s, stopping_};
                connection.request();
                script_(connection);
                ::close(s);
            });
        }
    }

    Script script_;
    int socket_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::vector<std::thread> connections_;
};

} // namespace tessaly::test
