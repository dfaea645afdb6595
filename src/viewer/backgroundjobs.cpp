#include "viewer/backgroundjobs.h"

#include <algorithm>

BackgroundJobs::~BackgroundJobs()
{
    for (Entry &job : m_jobs)
        job.stop.request_stop();
    m_pool.waitForDone();
}

void BackgroundJobs::add(const void *client, const QFuture<void> &future,
                         const std::stop_source &stop)
{
    prune();
    m_jobs.push_back({client, future, stop});
}

void BackgroundJobs::prune()
{
    std::erase_if(m_jobs, [](const Entry &job) { return job.future.isFinished(); });
}

void BackgroundJobs::stop(const void *client)
{
    prune();
    for (Entry &job : m_jobs)
        if (job.client == client)
            job.stop.request_stop();
}

bool BackgroundJobs::idle()
{
    prune();
    return m_jobs.empty();
}

void BackgroundJobs::waitForDone()
{
    m_pool.waitForDone();
    prune();
}
