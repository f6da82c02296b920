// The pools handlers run on: never more jobs at once than threads, every job run, in order on one
// thread, what is queued still run when the pool goes; and their threads' stacks are the size
// asked for, not the system's default.
#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "host/http/sized_thread.h"
#include "host/http/worker_pool.h"

namespace {

using tmhost::SizedThread;
using tmhost::WorkerPool;

TEST(HttpWorkerPool, RunsEveryJobWithNoMoreAtOnceThanItsThreads) {
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    std::atomic<int> done{0};
    {
        WorkerPool pool(3, 256 * 1024);
        for (int i = 0; i < 30; ++i) {
            pool.post([&] {
                const int now = ++inside;
                int seen = most.load();
                while (now > seen && !most.compare_exchange_weak(seen, now)) {
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                --inside;
                ++done;
            });
        }
    }  // the queued jobs run before the pool goes
    EXPECT_EQ(done, 30);
    EXPECT_LE(most, 3);
    EXPECT_GE(most, 1);
}

TEST(HttpWorkerPool, OneThreadRunsItsJobsInTheOrderPosted) {
    std::mutex mutex;
    std::vector<int> order;
    {
        WorkerPool pool(1, 256 * 1024);
        for (int i = 0; i < 50; ++i) {
            pool.post([&, i] {
                const std::lock_guard<std::mutex> lock(mutex);
                order.push_back(i);
            });
        }
    }
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

std::size_t own_stack_size() {
    pthread_attr_t attributes;
    std::size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
        pthread_attr_getstacksize(&attributes, &size);
        pthread_attr_destroy(&attributes);
    }
    return size;
}

TEST(HttpSizedThread, ItsStackIsTheSizeAskedForAndItJoins) {
    std::size_t small = 0;
    std::size_t large = 0;
    {
        SizedThread thread(512 * 1024, [&] { small = own_stack_size(); });
        thread.join();
        thread.join();  // a second join does nothing
    }
    {
        SizedThread thread(3 << 20, [&] { large = own_stack_size(); });
    }  // joined when it goes
    // The C library may hand a thread the cached stack of an ended one, up to four times the
    // size asked for; never the default 8 MiB for the small one.
    EXPECT_GE(small, 512u * 1024);
    EXPECT_LE(small, 2048u * 1024);
    EXPECT_GE(large, 3u << 20);
    std::size_t least = 0;
    {
        SizedThread thread(1, [&] { least = own_stack_size(); });
    }
    EXPECT_GT(least, 0u);
}

}  // namespace
