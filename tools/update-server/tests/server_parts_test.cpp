// The server's parts apart from the network: the password pool, the index
// cache.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>

#include "tools/update-server/hash_pool.h"
#include "tools/update-server/package_store.h"
#include "tools/update-server/tests/server_test_support.h"

namespace {

TEST(HashPoolTest, RunsJobsOffTheCallerAndCancelsWhatWaits) {
    CHashPool pool(2, 3);
    EXPECT_EQ(pool.Threads(), 2u);
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::atomic<int> ran{0}, cancelled{0};
    std::promise<void> started[2];
    for (int i = 0; i < 2; ++i) {
        pool.Submit([&, i](bool c) {
            if (c) {
                ++cancelled;
                return;
            }
            started[i].set_value();
            gate.wait();
            ++ran;
        });
    }
    for (auto& s : started)
        ASSERT_EQ(s.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    // Both threads busy: three may wait, the fourth is cancelled at once.
    for (int i = 0; i < 4; ++i)
        pool.Submit([&](bool c) { c ? ++cancelled : ++ran; });
    EXPECT_EQ(cancelled.load(), 1);
    release.set_value();
    pool.Stop();
    EXPECT_EQ(ran.load() + cancelled.load(), 6);
    // After the end every job is cancelled, but still called.
    pool.Submit([&](bool c) { c ? ++cancelled : ++ran; });
    EXPECT_EQ(ran.load() + cancelled.load(), 7);
}

TEST(IndexCacheTest, FollowsTheIndexAndHoldsItOtherwise) {
    CTempFolder dir;
    CPackageStore store(dir.Path());
    CIndexCache cache(dir.Path());
    EXPECT_TRUE(cache.Course("math")->empty());
    EXPECT_TRUE(cache.Course("..")->empty());
    WriteTestFile(store.IndexFile("math"), "03052301 10\n");
    const CIndexCache::Packages first = cache.Course("math");
    ASSERT_EQ(first->size(), 1u);
    // Same text: the same parsed list is handed out.
    EXPECT_EQ(cache.Course("math").get(), first.get());
    // A change of the same size at once is seen (the file is new).
    WriteTestFile(store.IndexFile("math"), "03052302 10\n");
    ASSERT_EQ(cache.Course("math")->size(), 1u);
    EXPECT_EQ(cache.Course("math")->front().code, "03052302");
    std::filesystem::remove(store.IndexFile("math"));
    EXPECT_TRUE(cache.Course("math")->empty());
}

TEST(IndexCacheTest, NewerPackagesAreFoundByBisection) {
    std::string text;
    for (int i = 1; i <= 10000; ++i) {
        char code[16];
        std::snprintf(code, sizeof code, "%08d", 10000000 + i);
        text += std::string(code) + " " + std::to_string(i) + "\n";
    }
    const std::vector<CPackage> all = ParseIndex(text);
    ASSERT_EQ(all.size(), 10000u);
    std::vector<CPackage> newer = PackagesNewerThan(all, "10009998", 100);
    ASSERT_EQ(newer.size(), 2u);
    EXPECT_EQ(newer[0].code, "10009999");
    newer = PackagesNewerThan(all, "0", 100);
    ASSERT_EQ(newer.size(), 100u);
    EXPECT_EQ(newer.back().code, "10000100");
    EXPECT_TRUE(PackagesNewerThan(all, "99999999", 100).empty());
    EXPECT_EQ(PackagesNewerThan(all, "00000000", 5).front().code, "10000001");
}

}  // namespace
