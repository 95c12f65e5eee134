// Web pages for the log-in window's tests: an HTTP/1.1 server on a loopback
// port the kernel chooses, answering each request from a table of paths and
// keeping the request lines it saw. One thread per connection, since WebKit
// may open a connection and send nothing on it.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PageServer
{
public:
    struct Reply
    {
        int status = 200;
        std::string headers; // extra header lines, each ending in "\r\n"
        std::string body;
    };

    PageServer();
    ~PageServer();
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    // "http://127.0.0.1:<port>"; empty when the server could not start.
    std::string Base() const;
    // The path is matched without its query.
    void Route(const std::string& path, Reply reply);
    void Page(const std::string& path, const std::string& html);
    void Redirect(const std::string& path, const std::string& location);
    // Request lines ("GET /login HTTP/1.1") in arrival order.
    std::vector<std::string> Requests() const;

    // A loopback port that nothing listens on (bound, then released).
    static int ClosedPort();

private:
    void acceptLoop();
    void serve(int client);

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::map<std::string, Reply> routes_;
    std::vector<std::string> requests_;
    std::vector<std::thread> workers_;
};
