#include "support/special_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>
#include <thread>

std::string MakeFifo(const TempFolder& folder, const std::string& name) {
    const std::string path = folder.Dir() + name;
    return ::mkfifo(path.c_str(), 0600) == 0 ? path : std::string();
}

bool ReturnsWithoutBlocking(const std::string& fifo, const std::function<void()>& read,
                            std::chrono::milliseconds limit) {
    std::packaged_task<void()> task(read);
    std::future<void> done = task.get_future();
    std::thread reader(std::move(task));
    const bool returned = done.wait_for(limit) == std::future_status::ready;
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
    reader.join();
    return returned;
}
