#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "common/parallel_for.h"

using namespace wx;

namespace {

// Restores the process-wide settings a test changes.
struct ParallelSettingsGuard {
    ~ParallelSettingsGuard() {
        setParallelThreadLimit(0);
        failParallelWorkerStartAt(-1);
    }
};

}  // namespace

TEST(ParallelFor, CallsEveryIndexExactlyOnce) {
    for (size_t count : {size_t(0), size_t(1), size_t(2047), size_t(2048), size_t(2049), size_t(100003)}) {
        std::vector<std::atomic<int>> calls(count);
        parallelFor(count, [&](size_t i) { calls[i].fetch_add(1); });
        for (size_t i = 0; i < count; ++i) ASSERT_EQ(calls[i].load(), 1) << "count " << count << " index " << i;
    }
}

TEST(ParallelFor, RunsInlineAndInOrderBelowTheThreshold) {
    const auto caller = std::this_thread::get_id();
    std::vector<size_t> order;
    bool allOnCaller = true;
    parallelFor(kParallelInlineBelow - 1, [&](size_t i) {
        order.push_back(i);  // safe only because the loop is inline
        allOnCaller = allOnCaller && std::this_thread::get_id() == caller;
    });
    ASSERT_EQ(order.size(), kParallelInlineBelow - 1);
    for (size_t i = 0; i < order.size(); ++i) ASSERT_EQ(order[i], i);
    EXPECT_TRUE(allOnCaller);
}

TEST(ParallelFor, OneThreadAndManyThreadsGiveTheSameResults) {
    ParallelSettingsGuard guard;
    const size_t n = 50000;
    auto run = [&] {
        std::vector<float> out(n);
        parallelFor(n, [&](size_t i) { out[i] = std::sin(float(i) * 0.001f) * std::sqrt(float(i)); });
        return out;
    };
    setParallelThreadLimit(1);
    EXPECT_EQ(parallelThreadCount(), 1u);
    std::vector<float> single = run();
    setParallelThreadLimit(0);
    std::vector<float> many = run();
    EXPECT_EQ(single, many);
    EXPECT_GE(parallelThreadCount(), 1u);
    EXPECT_LE(parallelThreadCount(), kParallelMaxThreads);
}

// Large loops, and small ones of costly items with a fine grain, run on several threads.
TEST(ParallelFor, UsesSeveralThreadsForLargeLoopsAndFineGrains) {
    if (parallelThreadCount() < 2) GTEST_SKIP() << "one hardware thread";
    std::atomic<int> busy{0}, peak{0};
    std::chrono::microseconds nap{20};
    const auto body = [&](size_t) {
        int now = ++busy;
        int seen = peak.load();
        while (now > seen && !peak.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(nap);
        --busy;
    };
    parallelFor(8 * kParallelChunk * parallelThreadCount(), body);
    EXPECT_GE(peak.load(), 2);
    peak = 0;
    nap = std::chrono::milliseconds(20);  // long enough for the second thread to start
    parallelFor(4, body, ParallelGrain{2, 1});
    EXPECT_GE(peak.load(), 2) << "four items a thread each";
    peak = 0;
    parallelFor(4, body);
    EXPECT_EQ(peak.load(), 1) << "four items under the usual grain run inline";
}

TEST(ParallelFor, CarriesABodysExceptionToTheCallerAfterJoining) {
    for (size_t count : {size_t(100), size_t(100000)}) {
        std::atomic<int> running{0};
        try {
            parallelFor(count, [&](size_t i) {
                ++running;
                if (i == count / 2) {
                    --running;
                    throw std::runtime_error("body failed");
                }
                --running;
            });
            FAIL() << "no exception for count " << count;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "body failed");
        }
        EXPECT_EQ(running.load(), 0) << "a worker was still running after the throw";
    }
}

TEST(ParallelFor, AWorkerThatCannotStartRaisesAfterJoiningTheOthers) {
    ParallelSettingsGuard guard;
    if (parallelThreadCount() < 2) GTEST_SKIP() << "one hardware thread";
    failParallelWorkerStartAt(1);
    std::atomic<int> active{0};
    std::atomic<bool> sawActiveAfterReturn{false};
    try {
        parallelFor(200000, [&](size_t) {
            ++active;
            std::this_thread::sleep_for(std::chrono::microseconds(1));
            --active;
        });
        FAIL() << "the start failure was not reported";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::make_error_code(std::errc::resource_unavailable_try_again));
        sawActiveAfterReturn = active.load() != 0;
    }
    EXPECT_FALSE(sawActiveAfterReturn.load());

    // Failing the first worker must not run anything on the calling thread instead.
    failParallelWorkerStartAt(0);
    std::atomic<int> calls{0};
    EXPECT_THROW(parallelFor(5000, [&](size_t) { ++calls; }), std::system_error);
    EXPECT_EQ(calls.load(), 0);
}
