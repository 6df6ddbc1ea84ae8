#include "platform/cpu/LargeStack.h"

#include <exception>

#include <pthread.h>

namespace ORV::Platform {

namespace {

struct Job {
    const std::function<void()>* work;
    std::exception_ptr thrown;
};

void* runJob(void* argument)
{
    auto* job = static_cast<Job*>(argument);
    try {
        (*job->work)();
    } catch (...) {
        job->thrown = std::current_exception();
    }
    return nullptr;
}

} // namespace

void runWithStack(std::size_t stackBytes, const std::function<void()>& work)
{
    Job job{&work, nullptr};
    pthread_attr_t attributes;
    bool started = false;
    pthread_t thread;
    if (pthread_attr_init(&attributes) == 0) {
        started = pthread_attr_setstacksize(&attributes, stackBytes) == 0
                  && pthread_create(&thread, &attributes, runJob, &job) == 0;
        pthread_attr_destroy(&attributes);
    }
    if (!started) {
        work();
        return;
    }
    pthread_join(thread, nullptr);
    if (job.thrown) std::rethrow_exception(job.thrown);
}

} // namespace ORV::Platform
