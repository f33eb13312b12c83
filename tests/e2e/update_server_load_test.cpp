// telvora-update-server under the load a school brings, on the loopback
// address: first logins in a burst, guessed passwords, slow and greedy
// clients, archives fetched in pieces, a publish killed half-way, and two
// instances behind nginx.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/serverio/server_files.h"
#include "tests/e2e/update_server_support.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int kBoundSeconds = 20;  // reached only when something is wrong

class UpdateServerLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tv-e2e-load-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        m_served = m_root + "/served";
        m_archive = Publish("03052301", 256 * 1024);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    std::string Publish(const std::string& code, std::size_t size = 1000) {
        std::string bytes("Rar!\x1a\x07\x00", 7);
        for (std::size_t i = bytes.size(); i < size; ++i)
            bytes += static_cast<char>((i * 31 + code.back()) % 251);
        const std::string path = m_root + "/" + code + ".rar";
        std::ofstream(path, std::ios::binary) << bytes;
        const ToolRun run = RunUpdateServerTool(
            {"publish", m_served, "--course", "math", "--code", code, "--archive", path});
        EXPECT_EQ(run.status, 0) << run.err;
        return bytes;
    }
    // Accounts user0..user(n-1), password "pw-<i>", made four at a time.
    void AddAccounts(int n) {
        std::atomic<int> next{0}, failed{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                for (int i = next++; i < n; i = next++) {
                    const std::string id = std::to_string(i);
                    if (RunUpdateServerTool({"user", m_served, "add", "user" + id},
                                            "pw-" + id + "\n")
                            .status != 0)
                        ++failed;
                }
            });
        }
        for (std::thread& t : threads)
            t.join();
        ASSERT_EQ(failed.load(), 0);
    }
    static std::string QueryRequest(const std::string& user, const std::string& password,
                                    const std::string& vers = "0") {
        return ClientRequest(
            "/rdcenter/newweb/sql.asp?fileid=math&versnumber=" + vers + "&userid=" + user, user,
            password);
    }

    std::string m_root;
    std::string m_served;
    std::string m_archive;
    CServerProcess m_server;
};

// Reads what comes on fd until the peer closes it (at most the bound).
std::string ReadToEnd(int fd) {
    std::string all;
    char buf[65536];
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, kBoundSeconds * 1000) == 1) {
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        all.append(buf, static_cast<std::size_t>(n));
    }
    return all;
}

TEST_F(UpdateServerLoadTest, ASignedInClientIsServedDuringABurstOfFirstLogins) {
    constexpr int kStudents = 32;
    AddAccounts(kStudents + 1);
    ASSERT_TRUE(m_server.Start(m_served));
    const int port = m_server.Port();
    const std::string signedIn =
        QueryRequest("user" + std::to_string(kStudents), "pw-" + std::to_string(kStudents));
    ASSERT_EQ(RawRequest(port, signedIn).status, 200);  // its password is checked now

    // Every student's first login at once, each from a machine of its own.
    std::vector<int> logins;
    for (int i = 0; i < kStudents; ++i) {
        const std::string source = "127.0.1." + std::to_string(i + 1);
        const int fd = ConnectFrom(source.c_str(), port);
        ASSERT_GE(fd, 0);
        const std::string request =
            QueryRequest("user" + std::to_string(i), "pw-" + std::to_string(i));
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        logins.push_back(fd);
    }
    // The signed-in client is answered while the logins are still being
    // checked, each time promptly.
    int answeredDuring = 0;
    std::vector<pollfd> waiting;
    for (int fd : logins)
        waiting.push_back({fd, POLLIN, 0});
    for (int round = 0; round < 20; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const RawResponse r = RawRequest(port, signedIn, kBoundSeconds);
        const auto took = std::chrono::steady_clock::now() - start;
        ASSERT_EQ(r.status, 200);
        EXPECT_LT(took, std::chrono::milliseconds(1000)) << "round " << round;
        // Still logins without an answer: this query went past them.
        const int ready = poll(waiting.data(), waiting.size(), 0);
        if (ready < static_cast<int>(waiting.size()))
            ++answeredDuring;
        else
            break;
    }
    EXPECT_GT(answeredDuring, 0) << "the burst was over before the signed-in client was served";
    int granted = 0;
    for (int fd : logins) {
        const std::string answer = ReadToEnd(fd);
        granted +=
            answer.rfind("HTTP/1.1 200", 0) == 0 && answer.find("&03052301") != std::string::npos;
        close(fd);
    }
    EXPECT_EQ(granted, kStudents);
    EXPECT_EQ(m_server.Stop(SIGTERM), 0);
}

TEST_F(UpdateServerLoadTest, WrongPasswordsAreRefusedWithoutCheckingAfterAFew) {
    AddAccounts(1);
    ASSERT_TRUE(m_server.Start(m_served));
    const int port = m_server.Port();
    ASSERT_EQ(RawRequest(port, QueryRequest("user0", "pw-0")).status, 200);
    for (int i = 0; i < 5; ++i) {
        const RawResponse r = RawRequest(port, QueryRequest("user0", "guess" + std::to_string(i)));
        EXPECT_EQ(r.status, 401);
        EXPECT_EQ(r.headers.count("retry-after"), 0u) << i;
        EXPECT_EQ(r.body.find("次数过多"), std::string::npos) << i;
    }
    // Now refused at once, saying for how long; still a page the update
    // control reads as a refused login.
    RawResponse r = RawRequest(port, QueryRequest("user0", "guess5"));
    EXPECT_EQ(r.status, 401);
    ASSERT_EQ(r.headers.count("retry-after"), 1u);
    EXPECT_GE(std::atoi(r.headers["retry-after"].c_str()), 1);
    EXPECT_NE(r.body.find("权限"), std::string::npos);
    EXPECT_NE(r.body.find("次数过多"), std::string::npos);
    // Even the right password is not checked during the block ...
    r = RawRequest(port, QueryRequest("user0", "pw-0", "03052301"));
    EXPECT_EQ(r.status, 200) << "a login already checked gets in";
    // ... and an unknown name blocks only itself.
    for (int i = 0; i < 6; ++i)
        r = RawRequest(port, QueryRequest("nobody", "x"));
    EXPECT_EQ(r.headers.count("retry-after"), 1u);
    EXPECT_EQ(m_server.Stop(SIGTERM), 0);
    EXPECT_NE(m_server.Log().find("login: repeated failures for the name \"user0\""),
              std::string::npos)
        << m_server.Log();
}

TEST_F(UpdateServerLoadTest, SlowClientsFromTwoAddressesWhileAThirdIsServed) {
    ASSERT_TRUE(m_server.Start(m_served, {"--connections", "16", "--head-timeout", "2"}));
    const int port = m_server.Port();
    std::vector<int> slow;
    for (const char* source : {"127.0.0.2", "127.0.0.3"}) {
        for (int i = 0; i < 12; ++i) {
            const int fd = ConnectFrom(source, port);
            ASSERT_GE(fd, 0);
            send(fd, "GET /rdcenter/newweb/sql.asp HTTP/1.1\r\n", 39, MSG_NOSIGNAL);
            slow.push_back(fd);
        }
    }
    // A third address is served at once.
    const int third = ConnectFrom("127.0.0.4", port);
    const std::string request = ClientRequest("/rdcenter/newweb/sql.asp?fileid=math&versnumber=0");
    send(third, request.data(), request.size(), MSG_NOSIGNAL);
    const std::string answer = ReadToEnd(third);
    close(third);
    EXPECT_NE(answer.find("&03052301"), std::string::npos) << answer;
    // The slow ones send a header line whenever half a second passes without
    // their end; the head deadline ends them all the same.
    std::vector<bool> closed(slow.size(), false);
    std::size_t left = slow.size();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(kBoundSeconds);
    while (left > 0 && std::chrono::steady_clock::now() < giveUp) {
        std::vector<pollfd> p;
        for (std::size_t i = 0; i < slow.size(); ++i)
            if (!closed[i])
                p.push_back({slow[i], POLLIN, 0});
        if (poll(p.data(), p.size(), 500) == 0) {
            for (const pollfd& q : p)
                send(q.fd, "X-Slow: 1\r\n", 11, MSG_NOSIGNAL);
            continue;
        }
        for (std::size_t i = 0; i < slow.size(); ++i) {
            if (closed[i])
                continue;
            pollfd q{slow[i], POLLIN, 0};
            char buf[1024];
            if (poll(&q, 1, 0) == 1 && recv(slow[i], buf, sizeof buf, MSG_DONTWAIT) <= 0) {
                closed[i] = true;
                --left;
            }
        }
    }
    EXPECT_EQ(left, 0u) << "slow connections outlived the head deadline";
    for (int fd : slow)
        close(fd);
    EXPECT_EQ(RawRequest(port, request).status, 200);
    EXPECT_EQ(m_server.Stop(SIGTERM), 0);
}

TEST_F(UpdateServerLoadTest, PastTheLimitA503WithRetryAfterNotAReset) {
    ASSERT_TRUE(m_server.Start(m_served, {"--connections", "4", "--head-timeout", "30"}));
    const int port = m_server.Port();
    std::vector<int> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(ConnectFrom("127.0.0.2", port));
        send(held.back(), "GET / HTTP/1.1\r\n", 16, MSG_NOSIGNAL);
    }
    const std::string request = ClientRequest("/rdcenter/newweb/sql.asp?fileid=math&versnumber=0");
    const int more = ConnectFrom("127.0.0.2", port);
    send(more, request.data(), request.size(), MSG_NOSIGNAL);
    const std::string answer = ReadToEnd(more);
    close(more);
    EXPECT_EQ(answer.rfind("HTTP/1.1 503", 0), 0u) << answer;
    EXPECT_NE(answer.find("Retry-After: 5"), std::string::npos) << answer;
    // The last slot stays for another address.
    EXPECT_EQ(RawRequest(port, request).status, 200);
    for (int fd : held)
        close(fd);
    EXPECT_EQ(m_server.Stop(SIGTERM), 0);
}

TEST_F(UpdateServerLoadTest, AnArchiveInRangesAndNotModified) {
    ASSERT_TRUE(m_server.Start(m_served));
    const int port = m_server.Port();
    const std::string target = "/rdcenter/newweb/math/03052301.rar";
    RawResponse whole = RawRequest(port, ClientRequest(target));
    ASSERT_EQ(whole.status, 200);
    EXPECT_TRUE(whole.body == m_archive);
    EXPECT_EQ(whole.headers["accept-ranges"], "bytes");
    EXPECT_NE(whole.headers["cache-control"].find("immutable"), std::string::npos);
    const std::string etag = whole.headers["etag"];
    ASSERT_FALSE(etag.empty());
    EXPECT_FALSE(whole.headers["last-modified"].empty());

    // A download that broke off goes on from where it stopped.
    std::string request = ClientRequest(target);
    request.insert(request.size() - 2, "Range: bytes=100000-\r\nIf-Range: " + etag + "\r\n");
    RawResponse part = RawRequest(port, request);
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.headers["content-range"], "bytes 100000-" +
                                                 std::to_string(m_archive.size() - 1) + "/" +
                                                 std::to_string(m_archive.size()));
    EXPECT_TRUE(part.body == m_archive.substr(100000));
    request = ClientRequest(target);
    request.insert(request.size() - 2, "Range: bytes=999999999-\r\n");
    EXPECT_EQ(RawRequest(port, request).status, 416);

    // A cache's copy that is current: 304, no body.
    request = ClientRequest(target);
    request.insert(request.size() - 2, "If-None-Match: " + etag + "\r\n");
    RawResponse same = RawRequest(port, request);
    EXPECT_EQ(same.status, 304);
    EXPECT_TRUE(same.body.empty());
    request = ClientRequest(target);
    request.insert(request.size() - 2,
                   "If-Modified-Since: " + whole.headers["last-modified"] + "\r\n");
    EXPECT_EQ(RawRequest(port, request).status, 304);
    EXPECT_EQ(m_server.Stop(SIGTERM), 0);
}

TEST_F(UpdateServerLoadTest, APublishKilledHalfWayLeavesTheOldIndexAndNoLock) {
    const std::string index = m_served + "/courses/math/index.txt";
    std::ifstream in(index, std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    // The publish is held at the lock, its files copied in under scratch
    // names; it is killed there.
    CFileLock held;
    bool busy = false;
    std::string error;
    ASSERT_TRUE(held.TryAcquire(m_served + "/.lock-publish", &busy, &error)) << error;
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(inotify_add_watch(watch, (m_served + "/courses/math").c_str(), IN_CLOSE_WRITE), 0);
    const std::string archive = m_root + "/new.rar";
    std::ofstream(archive, std::ios::binary) << std::string("Rar!\x1a\x07\x00", 7) << "new";
    const int pid = StartUpdateServerTool(
        {"publish", m_served, "--course", "math", "--code", "03060501", "--archive", archive});
    ASSERT_GT(pid, 0);
    bool notesWritten = false;
    pollfd p{watch, POLLIN, 0};
    while (!notesWritten && poll(&p, 1, kBoundSeconds * 1000) == 1) {
        alignas(inotify_event) char buf[4096];
        const ssize_t n = read(watch, buf, sizeof buf);
        for (ssize_t off = 0; off < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + off);
            const std::string name = e->len ? e->name : "";
            notesWritten = notesWritten || (name.find(".htm.") != std::string::npos &&
                                            name.find(".partial") != std::string::npos);
            off += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    close(watch);
    ASSERT_TRUE(notesWritten);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    held.Release();

    std::ifstream again(index, std::ios::binary);
    EXPECT_EQ(
        std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()),
        before);
    ASSERT_TRUE(m_server.Start(m_served));
    RawResponse r = RawRequest(m_server.Port(),
                               ClientRequest("/rdcenter/newweb/sql.asp?fileid=math&versnumber=0"));
    EXPECT_NE(r.body.find("&03052301"), std::string::npos);
    EXPECT_EQ(r.body.find("03060501"), std::string::npos);
    EXPECT_EQ(
        RawRequest(m_server.Port(), ClientRequest("/rdcenter/newweb/math/03060501.rar")).status,
        404);
    // No lock was left behind: the next publish goes through at once.
    const ToolRun run = RunUpdateServerTool(
        {"publish", m_served, "--course", "math", "--code", "03060501", "--archive", archive}, "",
        10);
    EXPECT_EQ(run.status, 0) << run.err;
    r = RawRequest(m_server.Port(),
                   ClientRequest("/rdcenter/newweb/sql.asp?fileid=math&versnumber=0"));
    EXPECT_NE(r.body.find("&03060501"), std::string::npos);
    EXPECT_EQ(m_server.Stop(SIGTERM), 0);
}

// nginx from Debian, in a folder of its own on a loopback port.
class CNginx {
public:
    ~CNginx() { Stop(); }
    static std::string Program() {
        for (const char* p : {"/usr/sbin/nginx", "/usr/bin/nginx"})
            if (access(p, X_OK) == 0)
                return p;
        return "";
    }
    // Starts nginx with the server block body given; true once its workers
    // run.
    bool Start(const std::string& dir, const std::string& http, std::string* log) {
        fs::create_directories(dir);
        const std::string conf = dir + "/nginx.conf";
        std::ofstream(conf) << "daemon off;\nmaster_process on;\nworker_processes 1;\n"
                            << (geteuid() == 0 ? "user root;\n" : "") << "pid " << dir
                            << "/nginx.pid;\nerror_log stderr notice;\n"
                            << "events { worker_connections 256; }\nhttp {\n  access_log off;\n"
                            << "  client_body_temp_path " << dir << "/body;\n  proxy_temp_path "
                            << dir << "/proxy;\n  fastcgi_temp_path " << dir
                            << "/fastcgi;\n  uwsgi_temp_path " << dir
                            << "/uwsgi;\n  scgi_temp_path " << dir << "/scgi;\n"
                            << http << "}\n";
        int err[2];
        if (pipe2(err, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::string program = Program();
        std::vector<std::string> args = {program, "-p", dir, "-c", conf};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc =
            posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(err[1]);
        if (rc != 0) {
            m_pid = -1;
            close(err[0]);
            return false;
        }
        // Its workers start once its port is open.
        pollfd p{err[0], POLLIN, 0};
        while (log->find("start worker process") == std::string::npos &&
               poll(&p, 1, kBoundSeconds * 1000) == 1) {
            char buf[1024];
            const ssize_t n = read(err[0], buf, sizeof buf);
            if (n <= 0)
                break;
            log->append(buf, static_cast<std::size_t>(n));
        }
        close(err[0]);
        return log->find("start worker process") != std::string::npos;
    }
    void Stop() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
};

// A free loopback port, released for the caller to take.
int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (fd >= 0)
            close(fd);
        return 0;
    }
    close(fd);
    return ntohs(a.sin_port);
}

TEST_F(UpdateServerLoadTest, TwoInstancesOnOneFolderBehindNginxAnswerAlike) {
    if (CNginx::Program().empty())
        GTEST_SKIP() << "nginx is not installed (apt-get install nginx); this test runs two "
                        "instances behind it";
    ASSERT_EQ(RunUpdateServerTool({"user", m_served, "add", "alice"}, "pw\n").status, 0);
    const std::vector<std::string> behind = {"--accel-redirect", "/.telvora-files/", "--proxy",
                                             "127.0.0.1"};
    CServerProcess second;
    ASSERT_TRUE(m_server.Start(m_served, behind));
    ASSERT_TRUE(second.Start(m_served, behind));
    const int port = FreePort();
    ASSERT_GT(port, 0);
    const std::string http =
        "  upstream telvora_update {\n    server 127.0.0.1:" + std::to_string(m_server.Port()) +
        ";\n    server 127.0.0.1:" + std::to_string(second.Port()) +
        ";\n  }\n  server {\n    listen 127.0.0.1:" + std::to_string(port) +
        ";\n    location /rdcenter/newweb/ {\n      proxy_pass http://telvora_update;\n"
        "      proxy_http_version 1.1;\n      proxy_set_header Connection \"\";\n"
        "      proxy_set_header X-Real-IP $remote_addr;\n    }\n"
        "    location /.telvora-files/ {\n      internal;\n      alias " +
        m_served + "/;\n    }\n  }\n";
    CNginx nginx;
    std::string log;
    ASSERT_TRUE(nginx.Start(m_root + "/nginx", http, &log)) << log;

    auto ask = [&] { return RawRequest(port, QueryRequest("alice", "pw")).body; };
    const std::string first = ask();
    EXPECT_NE(first.find("&03052301"), std::string::npos) << first;
    for (int i = 0; i < 4; ++i)  // both instances, in turn
        EXPECT_EQ(ask(), first);
    Publish("03060501");
    const std::string after = ask();
    EXPECT_NE(after.find("&03060501"), std::string::npos) << after;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ask(), after);
    // Both instances answered, each for the other's first time.
    EXPECT_NE(m_server.AccessLog().find("sql.asp"), std::string::npos);
    EXPECT_NE(second.AccessLog().find("sql.asp"), std::string::npos);

    // The archive comes from nginx, after an instance's checks.
    RawResponse r =
        RawRequest(port, ClientRequest("/rdcenter/newweb/math/03052301.rar", "alice", "pw"));
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body == m_archive);
    EXPECT_NE(r.headers["cache-control"].find("immutable"), std::string::npos);
    EXPECT_EQ(RawRequest(port, ClientRequest("/rdcenter/newweb/math/03052301.rar")).status, 401);
    EXPECT_EQ(RawRequest(port, ClientRequest("/.telvora-files/users.txt")).status, 404);
    // The instances log the client nginx names.
    EXPECT_NE(m_server.AccessLog().find("127.0.0.1 - alice"), std::string::npos);
    nginx.Stop();
    EXPECT_EQ(second.Stop(SIGTERM), 0);
    EXPECT_EQ(m_server.Stop(SIGTERM), 0);
}

}  // namespace
