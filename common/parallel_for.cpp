#include "common/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "common/check.h"

namespace wx {
namespace {

std::atomic<unsigned> gThreadLimit{0};
std::atomic<int> gFailWorkerStartAt{-1};

unsigned envThreadLimit() {
    static const unsigned limit = [] {
        const char* text = std::getenv("WX_THREADS");
        if (!text) return 0u;
        char* end = nullptr;
        long value = std::strtol(text, &end, 10);
        return (end != text && value > 0) ? static_cast<unsigned>(std::min(value, 1024L)) : 0u;
    }();
    return limit;
}

// Read once: the library call reads sysfs each time (about 50 us), which small objects'
// snow builds paid on every parallelFor.
unsigned hardwareThreads() {
    static const unsigned threads = std::thread::hardware_concurrency();
    return threads;
}

}  // namespace

unsigned parallelThreadCount() {
    unsigned threads = std::max(1u, std::min(hardwareThreads(), kParallelMaxThreads));
    for (unsigned cap : {envThreadLimit(), gThreadLimit.load(std::memory_order_relaxed)}) {
        if (cap > 0) threads = std::min(threads, cap);
    }
    return threads;
}

void setParallelThreadLimit(unsigned limit) {
    gThreadLimit.store(limit, std::memory_order_relaxed);
}

void failParallelWorkerStartAt(int index) {
    gFailWorkerStartAt.store(index, std::memory_order_relaxed);
}

void parallelFor(size_t count, const std::function<void(size_t)>& body) {
    parallelFor(count, body, ParallelGrain{});
}

void parallelFor(size_t count, const std::function<void(size_t)>& body, ParallelGrain grain) {
    WX_CHECK(body != nullptr);
    WX_CHECK(grain.chunk > 0);
    const unsigned threads = parallelThreadCount();
    if (count < grain.inlineBelow || threads == 1) {
        for (size_t i = 0; i < count; ++i) body(i);
        return;
    }

    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr firstError;
    std::mutex errorMutex;

    auto worker = [&] {
        try {
            while (!failed.load(std::memory_order_relaxed)) {
                size_t start = next.fetch_add(grain.chunk, std::memory_order_relaxed);
                if (start >= count) break;
                size_t end = std::min(start + grain.chunk, count);
                for (size_t i = start; i < end; ++i) body(i);
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(errorMutex);
            if (!firstError) firstError = std::current_exception();
            failed.store(true, std::memory_order_relaxed);
        }
    };

    std::vector<std::thread> pool;
    pool.reserve(threads);
    std::exception_ptr startError;
    try {
        const int failAt = gFailWorkerStartAt.load(std::memory_order_relaxed);
        for (unsigned t = 0; t < threads; ++t) {
            if (int(t) == failAt)
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            pool.emplace_back(worker);
        }
    } catch (...) {
        // A worker could not start: stop handing out work, join the ones that did, and
        // report the failure instead of quietly running on fewer threads.
        startError = std::current_exception();
        failed.store(true, std::memory_order_relaxed);
    }
    for (std::thread& t : pool) t.join();

    if (startError) std::rethrow_exception(startError);
    if (firstError) std::rethrow_exception(firstError);
}

}  // namespace wx
