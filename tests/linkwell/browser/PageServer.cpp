#include "tests/linkwell/browser/PageServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace
{
int listenLoopback(int& port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

const char* reason(int status)
{
    switch (status)
    {
    case 200:
        return "OK";
    case 302:
        return "Found";
    default:
        return "Not Found";
    }
}
} // namespace

PageServer::PageServer()
{
    listener_ = listenLoopback(port_);
    if (listener_ >= 0 && listen(listener_, 16) != 0)
    {
        close(listener_);
        listener_ = -1;
    }
    if (listener_ >= 0)
        acceptor_ = std::thread([this] { acceptLoop(); });
}

PageServer::~PageServer()
{
    stopping_ = true;
    if (listener_ >= 0)
        shutdown(listener_, SHUT_RDWR);
    if (acceptor_.joinable())
        acceptor_.join();
    if (listener_ >= 0)
        close(listener_);
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workers.swap(workers_);
    }
    for (std::thread& worker : workers)
        worker.join();
}

std::string PageServer::Base() const
{
    return listener_ >= 0 ? "http://127.0.0.1:" + std::to_string(port_) : std::string();
}

void PageServer::Route(const std::string& path, Reply reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[path] = std::move(reply);
}

void PageServer::Page(const std::string& path, const std::string& html)
{
    Route(path, Reply{200, "Content-Type: text/html; charset=utf-8\r\n", html});
}

void PageServer::Redirect(const std::string& path, const std::string& location)
{
    Route(path, Reply{302, "Location: " + location + "\r\n", ""});
}

std::vector<std::string> PageServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

int PageServer::ClosedPort()
{
    int port = 0;
    const int fd = listenLoopback(port);
    if (fd < 0)
        return 0;
    close(fd);
    return port;
}

void PageServer::acceptLoop()
{
    while (!stopping_)
    {
        const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
        {
            if (stopping_ || (errno != EINTR && errno != ECONNABORTED))
                return;
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        workers_.emplace_back([this, client] { serve(client); });
    }
}

void PageServer::serve(int client)
{
    // Keep-alive: answer requests until the peer closes or the server stops.
    std::string pending;
    while (!stopping_)
    {
        size_t headEnd = pending.find("\r\n\r\n");
        while (headEnd == std::string::npos)
        {
            pollfd ready{client, POLLIN, 0};
            const int polled = poll(&ready, 1, 100);
            if (stopping_ || polled < 0)
            {
                close(client);
                return;
            }
            if (polled == 0)
                continue;
            char chunk[4096];
            const ssize_t got = recv(client, chunk, sizeof(chunk), 0);
            if (got <= 0 || pending.size() > (1u << 20))
            {
                close(client);
                return;
            }
            pending.append(chunk, static_cast<size_t>(got));
            headEnd = pending.find("\r\n\r\n");
        }
        const std::string head = pending.substr(0, headEnd);
        pending.erase(0, headEnd + 4); // the pages are fetched with GET only: no body follows
        const std::string line = head.substr(0, head.find("\r\n"));
        const size_t pathStart = line.find(' ');
        const size_t pathEnd = line.find(' ', pathStart + 1);
        std::string path =
            pathStart == std::string::npos ? "" : line.substr(pathStart + 1, pathEnd - pathStart - 1);
        path = path.substr(0, path.find('?'));
        Reply reply{404, "Content-Type: text/plain\r\n", "not here"};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(line);
            auto found = routes_.find(path);
            if (found != routes_.end())
                reply = found->second;
        }
        const std::string answer = "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) +
                                   "\r\n" + reply.headers +
                                   "Content-Length: " + std::to_string(reply.body.size()) +
                                   "\r\nCache-Control: no-store\r\n\r\n" + reply.body;
        size_t sent = 0;
        while (sent < answer.size())
        {
            const ssize_t wrote = send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
            if (wrote <= 0)
            {
                close(client);
                return;
            }
            sent += static_cast<size_t>(wrote);
        }
    }
    close(client);
}
