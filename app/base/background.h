#pragma once

#include "base/threadhandover.h"

#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>
#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace korvane {

namespace background {

// What the pool's threads and the threads that hand them work pass through. The pool's own
// queue is Qt's, whose locking the thread checker cannot see; so a job is taken over before its
// first byte is read, which needs an address known without reading the job.
inline char handOver;

template <typename Work, typename Result>
struct Job
{
    explicit Job(Work &&toDo) : work(std::move(toDo)) {}

    Work work;
    std::optional<Result> result;
    std::exception_ptr failure;
    QPromise<void> finished;
};

} // namespace background

// Runs `work` on Qt's thread pool without waiting for it.
inline void runInBackground(std::function<void()> work)
{
    std::function<void()> run = [work = std::move(work)] {
        markTakenOver(&background::handOver);
        work();
        markHandedOver(&background::handOver);
    };
    markHandedOver(&background::handOver);
    QThreadPool::globalInstance()->start(std::move(run));
}

// Runs `work` on Qt's thread pool; the awaiting coroutine resumes on its own thread with what the
// work returned, or with what it threw.
template <typename Work>
QCoro::Task<std::invoke_result_t<Work &>> inBackground(Work work)
{
    using Result = std::invoke_result_t<Work &>;
    const auto job = std::make_shared<background::Job<Work, Result>>(std::move(work));
    // Named before it is awaited: GCC 12 mishandles temporaries in co_await.
    QFuture<void> finished = job->finished.future();
    job->finished.start();
    runInBackground([job] {
        try {
            job->result.emplace(job->work());
        } catch (...) {
            job->failure = std::current_exception();
        }
        // Before the awaiting side can resume and read the result.
        markHandedOver(&background::handOver);
        job->finished.finish();
    });
    co_await finished;
    markTakenOver(&background::handOver);
    if (job->failure)
        std::rethrow_exception(job->failure);
    co_return std::move(*job->result);
}

} // namespace korvane
