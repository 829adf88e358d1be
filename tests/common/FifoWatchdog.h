// For tests that plant a FIFO where the program reads a file: a reader that waited on it would
// hang the test for ever. Once the time is up, the watchdog opens the FIFOs' writing ends over
// and over, which frees a reader stuck in its open (it then reads an empty file), and says that
// it fired, so that the test fails instead. Where the program writes a file (Writer), it opens
// the reading ends and drains them: a writer stuck in its open goes on, and what it then writes
// or holds open says that it fired.
#pragma once

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testutil {

class FifoWatchdog {
public:
    enum Side { Reader, Writer };  // what the program under test does with the FIFOs
    explicit FifoWatchdog(std::vector<std::string> fifos, int seconds = 20, Side side = Reader)
        : fifos_(std::move(fifos)), side_(side), thread_([this, seconds] { watch(seconds); })
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
        if (side_ == Writer) return drain(lock);
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

    // Read ends held open until the end: a writer freed from its open must not meet a FIFO
    // without readers (and its signal).
    void drain(std::unique_lock<std::mutex>& lock)
    {
        std::vector<int> ends;
        for (const std::string& fifo : fifos_) {
            // Only what is still a FIFO: the file that took its place is no writer's.
            const int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            struct stat st;
            if (fd >= 0 && fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) ends.push_back(fd);
            else if (fd >= 0) close(fd);
        }
        while (!stopped_) {
            for (const int fd : ends) {
                char buffer[65536];
                const ssize_t n = read(fd, buffer, sizeof buffer);
                if (n > 0 || (n < 0 && errno == EAGAIN)) fired_ = true;  // a writer is at the other end
            }
            wake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stopped_; });
        }
        for (const int fd : ends) close(fd);
    }

    std::vector<std::string> fifos_;
    Side side_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    bool fired_ = false;
    std::thread thread_;
};

}  // namespace testutil
