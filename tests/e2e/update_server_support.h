// Running telvora-update-server for the end-to-end tests: the server as a
// child process whose listening line is read from its output, its other
// commands run to their end, and a raw HTTP client that sends exactly the
// bytes it is given (GBK and backslashes included) to the loopback address.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The built program (through TELVORA_BIN).
std::string UpdateServerProgram();

struct ToolRun {
    int status = -1;  // exit status, or -1 when it did not end in time
    std::string out;
    std::string err;
};
// Runs the program with args (UTF-8) and input on its standard input, and
// waits up to timeoutSeconds.
ToolRun RunUpdateServerTool(const std::vector<std::string>& args, const std::string& input = "",
                            int timeoutSeconds = 60);

// Starts the program with args without waiting (output thrown away); its
// process id, or -1.
int StartUpdateServerTool(const std::vector<std::string>& args);

class CServerProcess {
public:
    ~CServerProcess();  // kills a server still running
    // Starts "serve dir --listen 127.0.0.1:0" plus extra; true once the
    // listening line has arrived (within timeoutSeconds).
    bool Start(const std::string& dir, const std::vector<std::string>& extra = {},
               int timeoutSeconds = 20);
    // Sends signal and waits up to timeoutSeconds for the end: the exit
    // status, or -1 when it did not end (it is then killed).
    int Stop(int signal, int timeoutSeconds = 20);
    int Port() const { return m_port; }
    int Pid() const { return m_pid; }
    const std::string& ListeningLine() const { return m_line; }
    // The server's notices (standard error), then each access line so far
    // as "TIME CLIENT METHOD TARGET STATUS BYTES", the layout the update
    // tests read requests from.
    std::string Log() const;
    // The access lines so far, as written (combined log format).
    std::string AccessLog() const;

private:
    int m_pid = -1;
    int m_pidFd = -1;
    int m_port = 0;
    std::string m_line;
    std::string m_logPath;
    // Standard output, read by a thread of its own until the server ends.
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::condition_variable m_lineCame;
    std::string m_out;
    bool m_outEnded = false;
};

struct RawResponse {
    bool ok = false;  // an HTTP answer came and the connection was closed in time
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
};
// Sends request on a new connection to 127.0.0.1:port and reads the answer
// until the server closes (at most timeoutSeconds).
RawResponse RawRequest(int port, const std::string& request, int timeoutSeconds = 20);
// "GET target HTTP/1.0" with the update control's headers, and Basic
// credentials when user is not empty.
std::string ClientRequest(const std::string& target, const std::string& user = "",
                          const std::string& password = "", const std::string& method = "GET");

// A connected socket to 127.0.0.1:port (-1 on failure); the caller closes it.
int ConnectLoopback(int port);
// The same from another loopback address (127.0.0.2, ...), as from another
// machine.
int ConnectFrom(const char* source, int port);
// True when the server closes fd within timeoutSeconds (reading what comes).
bool ClosedByPeerWithin(int fd, int timeoutSeconds);
