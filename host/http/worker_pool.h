// A fixed number of threads that run the jobs posted to them in order; a job posted while every
// thread is busy waits in the queue. The server's handlers run here, off its I/O thread, since
// one may take minutes.
#ifndef TMHOST_WORKER_POOL_H
#define TMHOST_WORKER_POOL_H

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "host/http/sized_thread.h"

namespace tmhost {

class WorkerPool {
public:
    // A job must not throw: an exception that leaves one ends the program.
    using Job = std::function<void()>;

    // Starts every thread now, so that a system out of threads fails here and not with a request
    // waiting. Throws std::system_error.
    WorkerPool(std::size_t threads, std::size_t stack_bytes);
    // Runs what is still queued, then joins the threads.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // From any thread; never blocks for long.
    void post(Job job);

private:
    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool closing_ = false;
    std::vector<std::unique_ptr<SizedThread>> threads_;
};

}  // namespace tmhost

#endif
