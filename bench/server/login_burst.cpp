// Students logging in at once, each with an account of its own and from a
// machine of its own (127.0.1.x), while one signed-in client keeps querying
// as the update control does (HTTP/1.0, a connection per request). Prints
// the time until the last login was answered and the signed-in client's
// latencies. usage: bench_login_burst PORT STUDENTS (accounts userN / pw-N;
// the signed-in client is user<STUDENTS> / pw-<STUDENTS>)
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/update_server_support.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Query(int n) {
    const std::string user = "user" + std::to_string(n);
    return ClientRequest("/rdcenter/newweb/sql.asp?fileid=bench&versnumber=0&userid=" + user, user,
                         "pw-" + std::to_string(n));
}

bool Granted(const std::string& answer) {
    return answer.compare(0, 12, "HTTP/1.1 200") == 0 || answer.compare(0, 12, "HTTP/1.0 200") == 0;
}

// One request of the signed-in client on a new connection.
bool SignedInQuery(int port, const std::string& request) {
    return RawRequest(port, request, 120).status == 200;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_login_burst PORT STUDENTS\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int students = std::atoi(argv[2]);
    const std::string signedIn = Query(students);
    if (!SignedInQuery(port, signedIn)) {
        std::fprintf(stderr, "the signed-in client's login failed\n");
        return 1;
    }
    std::atomic<bool> burstOver{false};
    std::vector<double> latencies;
    std::thread client([&] {
        while (!burstOver) {
            const auto start = Clock::now();
            const bool ok = SignedInQuery(port, signedIn);
            const double ms =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            latencies.push_back(ok ? ms : -1);
        }
    });
    // All the students' requests go out at once, then the answers are read.
    const auto start = Clock::now();
    std::vector<int> fds(static_cast<std::size_t>(students), -1);
    int errors = 0;
    for (int i = 0; i < students; ++i) {
        const std::string from = "127.0.1." + std::to_string(i % 250 + 1);
        fds[i] = ConnectFrom(from.c_str(), port);
        const std::string request = Query(i);
        if (fds[i] < 0 || send(fds[i], request.data(), request.size(), MSG_NOSIGNAL) < 0) {
            ++errors;
            if (fds[i] >= 0)
                close(fds[i]);
            fds[i] = -1;
        }
    }
    std::vector<std::string> answers(fds.size());
    std::size_t open = 0;
    for (int fd : fds)
        open += fd >= 0;
    while (open > 0) {
        std::vector<pollfd> p;
        std::vector<std::size_t> which;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i] >= 0) {
                p.push_back({fds[i], POLLIN, 0});
                which.push_back(i);
            }
        }
        if (poll(p.data(), p.size(), 120000) <= 0)
            break;
        for (std::size_t k = 0; k < p.size(); ++k) {
            if (!(p[k].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[16384];
            const ssize_t n = recv(p[k].fd, buf, sizeof buf, 0);
            if (n > 0) {
                answers[which[k]].append(buf, static_cast<std::size_t>(n));
                continue;
            }
            close(p[k].fd);
            fds[which[k]] = -1;
            --open;
        }
    }
    const double lastLogin =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    burstOver = true;
    client.join();
    for (const std::string& a : answers)
        errors += !Granted(a);
    int clientErrors = 0;
    std::vector<double> ok;
    for (double ms : latencies)
        ms < 0 ? ++clientErrors : (ok.push_back(ms), 0);
    std::sort(ok.begin(), ok.end());
    auto pct = [&](double q) {
        return ok.empty() ? 0.0
                          : ok[std::min(ok.size() - 1, static_cast<std::size_t>(q * ok.size()))];
    };
    std::printf(
        "last_login_ms=%.0f login_errors=%d client_queries=%zu client_errors=%d "
        "client_p50_ms=%.1f client_p99_ms=%.1f client_max_ms=%.1f\n",
        lastLogin, errors, latencies.size(), clientErrors, pct(0.5), pct(0.99),
        ok.empty() ? 0.0 : ok.back());
    return 0;
}
