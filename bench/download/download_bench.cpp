// A package download through the update worker's download step (1023-byte
// reads, each chunk written at once, a progress notice per chunk to the
// progress window in its own thread, headless) against curl -o from the same
// local update server, into fresh files, runs alternating. Prints min,
// median and max of each side, the ratio of the medians and this process's
// peak memory. Reported, never asserted.
//
//   bench_download PORT SERVERPATH SIZE RUNS WORKDIR
// (run_download_bench.sh publishes a package and serves it first).
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>  // the clocks (<chrono> itself holds a text GBK cannot take)
#include <vector>

#include "corvane/corvane_resources.h"
#include "corvane/download_thread.h"
#include "platform/fs/fs.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"
#include "platform/ui/renderer.h"

namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

struct Stats {
    double min, median, max;
};

Stats Of(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2], v.back()};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: bench_download PORT SERVERPATH SIZE RUNS WORKDIR\n");
        return 2;
    }
    const std::string port = argv[1];
    const std::string serverPath = argv[2];
    const std::string size = argv[3];
    const int runs = std::max(1, std::atoi(argv[4]));
    const std::string work = argv[5];
    SetProgramPath(argv[0]);
    // Headless: the progress window is drawn by nobody; its notices are
    // handled all the same.
    ui::SetPrimaryRenderer(std::make_shared<ui::CQuietRenderer>());
    RegisterCorvaneResources();
    RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Update", "Server", "127.0.0.1:" + port);
    const std::string url = "http://127.0.0.1:" + port + "/rdcenter/newweb/" + serverPath;

    std::vector<double> ours, curl;
    for (int run = 0; run < runs; ++run) {
        // Fresh folders for both sides, made before the clock starts.
        const std::string course = work + "/run" + std::to_string(run) + "/course";
        const std::string curlDir = work + "/run" + std::to_string(run) + "/curl";
        fs::create_directories(course);
        fs::create_directories(curlDir);
        std::optional<std::string> winCourse = ToWindowsPath(course);

        auto timeOurs = [&] {
            const std::size_t slash = winCourse->rfind('\\');
            CDownloadThread worker(winCourse->substr(slash + 1), winCourse->substr(0, slash + 1),
                                   "0", FALSE, UpdateServerAddress());
            const auto start = std::chrono::steady_clock::now();
            bool ok = worker.OpenConnection();
            worker.SetPackages({PackageEntry{serverPath, size, "00000000"}});
            ok = ok && worker.DownloadStep(0);
            ours.push_back(Seconds(std::chrono::steady_clock::now() - start));
            if (!ok)
                std::fprintf(stderr, "bench_download: the download step failed\n");
        };
        auto timeCurl = [&] {
            const auto start = std::chrono::steady_clock::now();
            int status =
                RunProgramAndWait("/usr/bin/curl", {"-s", "-0", "-o", curlDir + "/p.rar", url});
            curl.push_back(Seconds(std::chrono::steady_clock::now() - start));
            if (status != 0)
                std::fprintf(stderr, "bench_download: curl failed (%d)\n", status);
        };
        // Alternate which side goes first.
        if (run % 2 == 0) {
            timeOurs();
            timeCurl();
        } else {
            timeCurl();
            timeOurs();
        }
        std::error_code ec;
        fs::remove_all(work + "/run" + std::to_string(run), ec);
    }
    const Stats o = Of(ours), c = Of(curl);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("package %s bytes, %d runs\n", size.c_str(), runs);
    std::printf("  curl -o            min %.3f  median %.3f  max %.3f s\n", c.min, c.median, c.max);
    std::printf("  DownloadPackage    min %.3f  median %.3f  max %.3f s\n", o.min, o.median, o.max);
    std::printf("  ratio (medians)    %.2fx\n", o.median / c.median);
    std::printf("  peak memory of the downloading process: %ld KB\n", usage.ru_maxrss);
    return 0;
}
