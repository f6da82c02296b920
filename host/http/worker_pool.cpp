#include "host/http/worker_pool.h"

namespace tmhost {

WorkerPool::WorkerPool(std::size_t threads, std::size_t stack_bytes) {
    try {
        for (std::size_t i = 0; i < threads; ++i) {
            threads_.push_back(std::make_unique<SizedThread>(stack_bytes, [this] { work(); }));
        }
    } catch (...) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        wake_.notify_all();
        threads_.clear();
        throw;
    }
}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    wake_.notify_all();
    threads_.clear();
}

void WorkerPool::post(Job job) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void WorkerPool::work() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
            if (jobs_.empty()) return;  // closing, and nothing left to run
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

}  // namespace tmhost
