// For tests that plant a FIFO where the program reads a file: a reader that waited on it would
// hang the test for ever. Once the time is up, the watchdog opens the FIFOs' writing ends over
// and over, which frees a reader stuck in its open (it then reads an empty file), and says that
// it fired, so that the test fails instead.
#pragma once

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testutil {

class FifoWatchdog {
public:
    explicit FifoWatchdog(std::vector<std::string> fifos, int seconds = 20)
        : fifos_(std::move(fifos)), thread_([this, seconds] { watch(seconds); })
    {
    }
    ~FifoWatchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopped_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    FifoWatchdog(const FifoWatchdog&) = delete;
    FifoWatchdog& operator=(const FifoWatchdog&) = delete;

    bool fired() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return fired_;
    }

private:
    void watch(int seconds)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::seconds(seconds), [this] { return stopped_; })) return;
        while (!stopped_) {
            for (const std::string& fifo : fifos_) {
                // Without a reader waiting this fails at once (ENXIO).
                const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    fired_ = true;
                    close(fd);
                }
            }
            wake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stopped_; });
        }
    }

    std::vector<std::string> fifos_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    bool fired_ = false;
    std::thread thread_;
};

}  // namespace testutil
