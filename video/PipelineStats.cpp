#include "video/PipelineStats.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {
constexpr auto kRelaxed = std::memory_order_relaxed;
}

int64_t PipelineStats::nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void PipelineStats::frameTaken(bool bReplacedUnprocessed)
{
    m_nTaken.fetch_add(1, kRelaxed);
    if (bReplacedUnprocessed)
        m_nCoalesced.fetch_add(1, kRelaxed);
}

void PipelineStats::frameProcessed(int64_t nEntryUs, int64_t nDoneUs)
{
    m_nLastEntryUs.store(nEntryUs, kRelaxed);
    // A clock read on another core may be a hair behind; a pass never takes negative time.
    const int64_t nLatencyUs = std::max<int64_t>(0, nDoneUs - nEntryUs);
    m_nProcessed.fetch_add(1, kRelaxed);
    m_nLatencySumUs.fetch_add(nLatencyUs, kRelaxed);
    int64_t nMax = m_nLatencyMaxUs.load(kRelaxed);
    while (nLatencyUs > nMax && !m_nLatencyMaxUs.compare_exchange_weak(nMax, nLatencyUs, kRelaxed))
        ;
    const int64_t nBucket = std::min<int64_t>(kBuckets, nLatencyUs / kBucketUs);
    m_Buckets[size_t(nBucket)].fetch_add(1, kRelaxed);
}

PipelineStats::Snapshot PipelineStats::snapshot() const
{
    Snapshot s;
    s.nFramesTaken = m_nTaken.load(kRelaxed);
    s.nFramesProcessed = m_nProcessed.load(kRelaxed);
    s.nFramesCoalesced = m_nCoalesced.load(kRelaxed);
    s.nLatencyMaxUs = m_nLatencyMaxUs.load(kRelaxed);
    s.nLatencySumUs = m_nLatencySumUs.load(kRelaxed);
    for (size_t i = 0; i < s.buckets.size(); ++i)
        s.buckets[i] = m_Buckets[i].load(kRelaxed);
    return s;
}

void PipelineStats::reset()
{
    m_nTaken = 0;
    m_nProcessed = 0;
    m_nCoalesced = 0;
    m_nLatencyMaxUs = 0;
    m_nLatencySumUs = 0;
    m_nLastEntryUs = 0;
    for (auto& bucket : m_Buckets)
        bucket = 0;
}

double PipelineStats::Snapshot::latencyPercentileMs(double q) const
{
    uint64_t nTotal = 0;
    for (uint64_t n : buckets)
        nTotal += n;
    if (nTotal == 0)
        return 0.0;
    q = std::min(1.0, std::max(0.0, q));
    const uint64_t nRank = std::max<uint64_t>(1, uint64_t(std::ceil(q * double(nTotal))));
    uint64_t nSeen = 0;
    for (size_t i = 0; i < buckets.size(); ++i) {
        nSeen += buckets[i];
        if (nSeen >= nRank) {
            if (i == size_t(kBuckets))
                return latencyMaxMs();
            return std::min(double((i + 1) * kBucketUs), double(nLatencyMaxUs)) / 1000.0;
        }
    }
    return latencyMaxMs();
}

double PipelineStats::Snapshot::latencyMeanMs() const
{
    return nFramesProcessed ? double(nLatencySumUs) / double(nFramesProcessed) / 1000.0 : 0.0;
}
