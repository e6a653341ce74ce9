// The one file that includes the HTTP library.
#include "station/metrics_endpoint.h"

#include <httplib.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "os/socket_io.h"

namespace segweld::station {
namespace {

using Clock = std::chrono::steady_clock;

// Bounds of one request: its request line and headers (nothing that is
// answered has a body) and the time to receive them.
constexpr size_t kLargestRequest = 16 * 1024;
constexpr auto kRequestTime = std::chrono::seconds(5);
constexpr auto kWriteTime = std::chrono::seconds(5);
constexpr auto kIdleTime = std::chrono::seconds(5);  // between requests on one connection
constexpr size_t kRequestsPerConnection = 100;
constexpr size_t kWorkers = 2;
// Connections beyond these are served by the thread that accepts them, which
// accepts no more meanwhile: the system's backlog holds the rest.
constexpr size_t kQueuedConnections = 16;

// A connection as the library reads it: buffered, at most kLargestRequest
// bytes and kRequestTime per request, whatever the peer sends.
class BoundedStream : public httplib::Stream {
  public:
    explicit BoundedStream(socket_t socket) : socket_(socket) {}

    void NextRequest() {
        budget_ = kLargestRequest;
        deadline_ = Clock::now() + kRequestTime;
    }

    bool is_readable() const override { return begin_ < end_ || Wait(false) > 0; }
    bool is_writable() const override {
        return os::WaitForSocket(Handle(), true, std::chrono::milliseconds(0)) > 0;
    }

    ssize_t read(char* ptr, size_t size) override {
        if (begin_ == end_) {
            if (budget_ == 0 || Wait(false) <= 0) {
                return -1;
            }
            const std::ptrdiff_t got =
                os::ReadSocket(Handle(), buffer_, std::min(sizeof buffer_, budget_));
            if (got <= 0) {
                return got;
            }
            budget_ -= static_cast<size_t>(got);
            begin_ = 0;
            end_ = static_cast<size_t>(got);
        }
        const size_t taken = std::min(size, end_ - begin_);
        std::copy_n(buffer_ + begin_, taken, ptr);
        begin_ += taken;
        return static_cast<ssize_t>(taken);
    }

    ssize_t write(const char* ptr, size_t size) override {
        const auto limit = Clock::now() + kWriteTime;
        size_t done = 0;
        while (done < size) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - Clock::now());
            if (os::WaitForSocket(Handle(), true, left) <= 0) {
                return -1;
            }
            const std::ptrdiff_t sent = os::WriteSocket(Handle(), ptr + done, size - done);
            if (sent <= 0) {
                return -1;
            }
            done += static_cast<size_t>(sent);
        }
        return static_cast<ssize_t>(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = os::SocketAddress(Handle(), true, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = os::SocketAddress(Handle(), false, port);
    }
    socket_t socket() const override { return socket_; }

  private:
    os::SocketHandle Handle() const { return static_cast<os::SocketHandle>(socket_); }
    int Wait(bool forWriting) const {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now());
        return left.count() <= 0 ? 0 : os::WaitForSocket(Handle(), forWriting, left);
    }

    socket_t socket_;
    char buffer_[4096];
    size_t begin_ = 0;
    size_t end_ = 0;
    size_t budget_ = kLargestRequest;
    Clock::time_point deadline_ = Clock::now() + kRequestTime;
};

// A few workers at a lower priority than the joins. When they are all busy
// and a few connections wait, the accepting thread serves the next itself.
class LowPriorityWorkers : public httplib::TaskQueue {
  public:
    LowPriorityWorkers() {
        os::LowerThreadPriority();  // the accepting thread, which makes this queue
        for (size_t i = 0; i < kWorkers; ++i) {
            threads_.emplace_back([this] { Work(); });
        }
    }

    void enqueue(std::function<void()> task) override {
        {
            std::lock_guard lock(mutex_);
            if (queue_.size() < kQueuedConnections) {
                queue_.push_back(std::move(task));
                ready_.notify_one();
                return;
            }
        }
        task();
    }

    void shutdown() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        ready_.notify_all();
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }

  private:
    void Work() {
        os::LowerThreadPriority();
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (queue_.empty()) {
                    return;
                }
                task = std::move(queue_.front());
                queue_.pop_front();
            }
            task();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// Set by the routing of a request whose connection is not to be used again:
// one refused before its body, which would otherwise be read as the next request.
thread_local bool closeAfterAnswer = false;

// The library's server, reading each connection through a BoundedStream and
// closing the connections under way when it stops.
class BoundedServer : public httplib::Server {
  public:
    void StopServing() {
        stop();
        std::lock_guard lock(openMutex_);
        for (const socket_t socket : open_) {
            // Ends the waits of their threads at once; each closes its own.
            os::ShutDownSocket(static_cast<os::SocketHandle>(socket));
        }
    }

  private:
    bool process_and_close_socket(socket_t socket) override {
        {
            std::lock_guard lock(openMutex_);
            if (!is_running()) {
                os::CloseSocket(static_cast<os::SocketHandle>(socket));
                return false;
            }
            open_.insert(socket);
        }
        os::SendAtOnce(static_cast<os::SocketHandle>(socket));
        BoundedStream stream(socket);
        bool closed = false;
        for (size_t served = 0; served < kRequestsPerConnection && !closed; ++served) {
            if (served > 0 && !Idle(socket)) {
                break;
            }
            stream.NextRequest();
            closeAfterAnswer = false;
            const bool last = served + 1 == kRequestsPerConnection;
            if (!process_request(stream, last, closed, nullptr) || closeAfterAnswer) {
                break;
            }
        }
        {
            std::lock_guard lock(openMutex_);
            open_.erase(socket);
        }
        os::CloseSocket(static_cast<os::SocketHandle>(socket));
        return true;
    }

    static bool Idle(socket_t socket) {
        return os::WaitForSocket(static_cast<os::SocketHandle>(socket), false,
                                 std::chrono::duration_cast<std::chrono::milliseconds>(kIdleTime)) >
               0;
    }

    std::mutex openMutex_;
    std::set<socket_t> open_;
};

void Answer(httplib::Response& response, int status, const char* text) {
    response.status = status;
    response.set_content(text, "text/plain; charset=utf-8");
}

class HttpEndpoint : public MetricsEndpoint {
  public:
    HttpEndpoint(Pages pages) : pages_(std::move(pages)) {
        server_.new_task_queue = [] { return new LowPriorityWorkers(); };
        server_.set_socket_options([](socket_t socket) {
            os::SetListeningOptions(static_cast<os::SocketHandle>(socket));
        });
        server_.set_keep_alive_max_count(kRequestsPerConnection);
        server_.set_keep_alive_timeout(
            std::chrono::duration_cast<std::chrono::seconds>(kIdleTime).count());
        server_.set_read_timeout(kRequestTime);
        server_.set_write_timeout(kWriteTime);
        server_.set_payload_max_length(0);
        server_.set_default_headers(
            {{"Cache-Control", "no-store"},
             {"X-Content-Type-Options", "nosniff"},
             {"Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'"}});
        server_.set_pre_routing_handler(
            [](const httplib::Request& request, httplib::Response& response) {
                return Route(request, response);
            });
        server_.Get("/metrics", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(pages_.metrics(), "text/plain; version=0.0.4; charset=utf-8");
        });
        server_.Get("/", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(pages_.status(), "text/html; charset=utf-8");
        });
    }

    ~HttpEndpoint() override {
        server_.StopServing();
        if (listening_.joinable()) {
            listening_.join();
        }
    }

    bool Bind(const ListenAddress& address, std::string& error) {
        port_ = address.port;
        host_ = address.host;
        if (address.port == 0) {
            port_ = server_.bind_to_any_port(address.host);
        } else if (!server_.bind_to_port(address.host, address.port)) {
            port_ = -1;
        }
        if (port_ < 0) {
            error = os::LastSocketError();
            return false;
        }
        listening_ = std::thread([this] { server_.listen_after_bind(); });
        return true;
    }

    std::string Url() const override {
        return "http://" + ListenAddress{host_, port_}.Text() + "/";
    }

  private:
    // Only GET of the two paths; a request with a body is refused before it
    // is read, and its connection closed.
    static httplib::Server::HandlerResponse Route(const httplib::Request& request,
                                                  httplib::Response& response) {
        using Handled = httplib::Server::HandlerResponse;
        const bool body = (request.has_header("Content-Length") &&
                           request.get_header_value("Content-Length") != "0") ||
                          request.has_header("Transfer-Encoding");
        if (request.method != "GET") {
            response.set_header("Allow", "GET");
            Answer(response, 405, "Only GET is answered here.\n");
        } else if (request.path != "/" && request.path != "/metrics") {
            Answer(response, 404, "Not found: only / and /metrics are served.\n");
        } else if (body) {
            Answer(response, 413, "A GET here takes no body.\n");
        } else {
            return Handled::Unhandled;
        }
        if (body) {
            closeAfterAnswer = true;
            response.set_header("Connection", "close");
        }
        return Handled::Handled;
    }

    Pages pages_;
    BoundedServer server_;
    std::string host_;
    int port_ = 0;
    std::thread listening_;
};

}  // namespace

std::unique_ptr<MetricsEndpoint> MetricsEndpoint::Start(const ListenAddress& address, Pages pages,
                                                        std::string& error) {
    auto endpoint = std::make_unique<HttpEndpoint>(std::move(pages));
    if (!endpoint->Bind(address, error)) {
        return nullptr;
    }
    return endpoint;
}

}  // namespace segweld::station
