#pragma once
// Counters of the video engine's intake and pipeline, and the spread of the time from a frame's
// arrival at the engine (inside the camera link's frame callback) to the end of its pass, which
// is the present call when a window is bound. Written without a lock by the camera's callback
// thread and the engine thread; tools that watch a running engine read a snapshot at any time
// (its fields may be a frame apart from each other, which a once-a-second sample does not mind).

#include <array>
#include <atomic>
#include <cstdint>

class PipelineStats
{
public:
    static constexpr int kBucketUs = 250;   // histogram resolution
    static constexpr int kBuckets = 512;    // 0 .. 128 ms; longer latencies share one more bucket

    struct Snapshot
    {
        uint64_t nFramesTaken = 0;       // frames the engine accepted from the link
        uint64_t nFramesProcessed = 0;   // pipeline passes, each on the newest frame
        uint64_t nFramesCoalesced = 0;   // frames replaced by a newer one before their pass
        int64_t nLatencyMaxUs = 0;
        int64_t nLatencySumUs = 0;
        std::array<uint64_t, kBuckets + 1> buckets{};   // the last one holds everything >= 128 ms

        // Latency (ms) that a share q (0..1) of the passes stayed within: the upper edge of the
        // histogram bucket it falls in, never above the maximum. 0 without passes.
        double latencyPercentileMs(double q) const;
        double latencyMeanMs() const;
        double latencyMaxMs() const { return nLatencyMaxUs / 1000.0; }
    };

    void frameTaken(bool bReplacedUnprocessed);
    // A pass over the frame that reached the engine at nEntryUs ended at nDoneUs (nowUs scale).
    void frameProcessed(int64_t nEntryUs, int64_t nDoneUs);
    Snapshot snapshot() const;
    void reset();

    // Arrival of the frame of the latest pass: read on the engine thread while that pass goes
    // on (encoding), it says which camera moment the picture being written shows.
    int64_t lastProcessedEntryUs() const { return m_nLastEntryUs.load(std::memory_order_relaxed); }

    // Microseconds on the monotonic clock the latencies are measured with.
    static int64_t nowUs();

private:
    std::atomic<uint64_t> m_nTaken{0};
    std::atomic<uint64_t> m_nProcessed{0};
    std::atomic<uint64_t> m_nCoalesced{0};
    std::atomic<int64_t> m_nLatencyMaxUs{0};
    std::atomic<int64_t> m_nLatencySumUs{0};
    std::atomic<int64_t> m_nLastEntryUs{0};
    std::array<std::atomic<uint64_t>, kBuckets + 1> m_Buckets{};
};
