#include "support/fifo_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>

std::string MakeFifo(const TempFolder& folder, const std::string& name) {
    const std::string path = folder.Dir() + name;
    return ::mkfifo(path.c_str(), 0600) == 0 ? path : std::string();
}

bool ReturnsWithoutBlocking(const std::string& fifo, const std::function<void()>& read,
                            std::chrono::milliseconds limit) {
    std::promise<void> finished;
    std::future<void> done = finished.get_future();
    std::atomic<bool> unblocked{false};
    // The watchdog, not the reader, runs aside: window code must stay on
    // the thread that made the windows.
    std::thread watchdog([&] {
        if (done.wait_for(limit) == std::future_status::ready) return;
        unblocked = true;
        while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
    });
    read();
    finished.set_value();
    watchdog.join();
    return !unblocked;
}
