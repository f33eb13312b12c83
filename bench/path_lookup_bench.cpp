// Windows path lookup against a plain stat of the same file, in a folder of
// 10,000 entries: names in their exact case, names in another case, and (for
// scale) what a directory scan per lookup would cost. Prints the ratios.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/fs/fs.h"

namespace {

constexpr int kEntries = 10000;

struct Fixture {
    std::string root;
    std::string folder;  // Unix
    std::vector<std::string> unixPaths;
    std::vector<std::string> exact;  // Windows, case as on disk
    std::vector<std::string> otherCase;
};

Fixture& TheFixture() {
    static Fixture f;
    return f;
}

void Build() {
    Fixture& f = TheFixture();
    char tmpl[] = "/tmp/tv_path_bench_XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    f.root = tmpl;
    setenv("TELVORA_PREFIX", (f.root + "/prefix").c_str(), 1);
    f.folder = f.root + "/course/Pages";
    std::filesystem::create_directories(f.folder);
    if (!SetDriveTarget('w', f.root + "/course", false)) {
        std::fprintf(stderr, "cannot set up drive W:\n");
        std::exit(1);
    }
    for (int i = 0; i < kEntries; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Page_%05d.Htm", i);
        std::string path = f.folder + "/" + name;
        int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd >= 0)
            close(fd);
        f.unixPaths.push_back(path);
        f.exact.push_back(std::string("W:\\Pages\\") + name);
        std::snprintf(name, sizeof name, "pAGE_%05d.hTM", i);
        f.otherCase.push_back(std::string("W:\\Pages\\") + name);
    }
    // A folder that changed moments ago is scanned once more after a short
    // settling time; aging it keeps that single extra scan out of the figures.
    struct timespec old[2] = {{946684800, 0}, {946684800, 0}};
    utimensat(AT_FDCWD, f.folder.c_str(), old, 0);
}

void BM_Stat(benchmark::State& state) {
    const Fixture& f = TheFixture();
    std::size_t i = 0;
    struct stat st;
    for (auto _ : state) {
        benchmark::DoNotOptimize(stat(f.unixPaths[i].c_str(), &st));
        i = (i + 1) % f.unixPaths.size();
    }
    state.SetItemsProcessed(state.iterations());
}

void Lookup(benchmark::State& state, const std::vector<std::string>& names) {
    const Fixture& f = TheFixture();
    std::uint64_t scans = FolderScanCount();
    std::size_t i = 0;
    for (auto _ : state) {
        std::optional<std::string> u = ToUnixPath(names[i]);
        if (!u || *u != f.unixPaths[i]) {
            state.SkipWithError("wrong mapping");
            break;
        }
        i = (i + 1) % names.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["scans"] = static_cast<double>(FolderScanCount() - scans);
}

void BM_ToUnixPathExactCase(benchmark::State& state) {
    Lookup(state, TheFixture().exact);
}
void BM_ToUnixPathOtherCase(benchmark::State& state) {
    Lookup(state, TheFixture().otherCase);
}

// What the lookup avoids: reading the whole folder for every name.
void BM_ScanPerLookup(benchmark::State& state) {
    const Fixture& f = TheFixture();
    std::size_t i = 0;
    for (auto _ : state) {
        std::string want = "pAGE_" + f.otherCase[i].substr(f.otherCase[i].size() - 9);
        DIR* dir = opendir(f.folder.c_str());
        bool found = false;
        while (struct dirent* e = dir ? readdir(dir) : nullptr)
            if (strcasecmp(e->d_name, want.c_str()) == 0)
                found = true;
        if (dir)
            closedir(dir);
        benchmark::DoNotOptimize(found);
        i = (i + 1) % f.otherCase.size();
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_Stat);
BENCHMARK(BM_ToUnixPathExactCase);
BENCHMARK(BM_ToUnixPathOtherCase);
BENCHMARK(BM_ScanPerLookup);

// Keeps each benchmark's best CPU time per item (over repetitions, when
// asked for with --benchmark_repetitions) for the closing line; the best run
// is the one least disturbed by other work on the machine.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    CRatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0)
                continue;
            double t = run.GetAdjustedCPUTime();
            auto [it, added] = m_times.try_emplace(run.run_name.function_name, t);
            if (!added && t < it->second)
                it->second = t;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Time(const std::string& name) const {
        auto it = m_times.find(name);
        return it == m_times.end() ? 0 : it->second;
    }

private:
    std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Build();
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double base = reporter.Time("BM_Stat");
    if (base > 0) {
        std::printf("\nexact/stat = %.2f, othercase/stat = %.2f, scan-per-lookup/stat = %.0f\n",
                    reporter.Time("BM_ToUnixPathExactCase") / base,
                    reporter.Time("BM_ToUnixPathOtherCase") / base,
                    reporter.Time("BM_ScanPerLookup") / base);
    }
    std::error_code ec;
    std::filesystem::remove_all(TheFixture().root, ec);
    return 0;
}
