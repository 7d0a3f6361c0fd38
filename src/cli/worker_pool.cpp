#include "cli/worker_pool.h"

#include <poll.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <deque>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t gStopSignal = 0;

void OnStopSignal(int signal) {
    gStopSignal = signal;
}

// Messages from a worker: [unit][length][record], or [unit][kUnitDone] when
// the unit is finished. Integers are 4 bytes, little-endian.
constexpr std::uint32_t kUnitDone = 0xFFFFFFFFu;

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t GetU32(const std::string& in, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    return v;
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// 1: read 4 bytes into v; 0: end of input; -1: error.
int ReadU32(int fd, std::uint32_t& v) {
    std::string buffer(4, '\0');
    std::size_t got = 0;
    while (got < 4) {
        const ssize_t n = read(fd, buffer.data() + got, 4 - got);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 && got == 0) return 0;
        if (n <= 0) return -1;
        got += static_cast<std::size_t>(n);
    }
    v = GetU32(buffer, 0);
    return 1;
}

// The unit handed out `n`-th.
int UnitAt(const PoolWork& work, int n) {
    return work.order.empty() ? n : work.order[static_cast<std::size_t>(n)];
}

struct Worker {
    pid_t pid = -1;
    int unitFd = -1;    // parent writes unit numbers here
    int resultFd = -1;  // parent reads results here
    int unit = -1;      // the unit in progress, -1 when idle
    std::string buffer;
};

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

[[noreturn]] void WorkerMain(const PoolWork& work, int unitFd, int resultFd) {
    // The parent decides when to stop; a worker always finishes its unit so
    // that no output file is left half written.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    if (work.startWorker) work.startWorker();
    std::uint32_t unit = 0;
    while (ReadU32(unitFd, unit) == 1) {
        bool ok = true;
        const EmitFn deliver = [&](const PhotoResult& result) {
            std::string message;
            const std::string record = EncodeResult(result);
            PutU32(message, unit);
            PutU32(message, static_cast<std::uint32_t>(record.size()));
            message += record;
            ok = ok && WriteAll(resultFd, message);
        };
        work.runUnit(static_cast<int>(unit), deliver);
        std::string done;
        PutU32(done, unit);
        PutU32(done, kUnitDone);
        if (!ok || !WriteAll(resultFd, done)) break;
    }
    if (work.stopWorker) work.stopWorker();
    _exit(0);
}

class Pool {
  public:
    explicit Pool(const PoolWork& work) : work_(work) {}

    ~Pool() {
        for (Worker& w : workers_) {
            CloseFd(w.unitFd);
            CloseFd(w.resultFd);
            if (w.pid > 0) waitpid(w.pid, nullptr, 0);
        }
    }

    int Run() {
        const int count = std::min(work_.jobs, work_.units);
        for (int i = 0; i < count; ++i) {
            Worker w;
            if (!Spawn(w)) break;
            workers_.push_back(std::move(w));
            Feed(workers_.back());
        }
        while (AnyOpen()) Wait();
        return next_;
    }

  private:
    bool Spawn(Worker& w) {
        int units[2], results[2];
        if (pipe(units) != 0) return false;
        if (pipe(results) != 0) {
            close(units[0]);
            close(units[1]);
            return false;
        }
        const pid_t pid = fork();
        if (pid < 0) {
            for (int fd : {units[0], units[1], results[0], results[1]}) close(fd);
            return false;
        }
        if (pid == 0) {
            // Other workers' pipe ends would keep their input open for ever.
            for (Worker& other : workers_) {
                CloseFd(other.unitFd);
                CloseFd(other.resultFd);
            }
            close(units[1]);
            close(results[0]);
            WorkerMain(work_, units[0], results[1]);
        }
        close(units[0]);
        close(results[1]);
        if (work_.afterFork) work_.afterFork();
        w.pid = pid;
        w.unitFd = units[1];
        w.resultFd = results[0];
        return true;
    }

    // Gives the worker the next unit, or tells it there is none.
    void Feed(Worker& w) {
        if (StopRequested() || next_ >= work_.units) {
            CloseFd(w.unitFd);
            return;
        }
        const int unit = UnitAt(work_, next_);
        std::string message;
        PutU32(message, static_cast<std::uint32_t>(unit));
        if (!WriteAll(w.unitFd, message)) {
            CloseFd(w.unitFd);
            return;
        }
        w.unit = unit;
        ++next_;
    }

    bool AnyOpen() const {
        for (const Worker& w : workers_)
            if (w.resultFd >= 0) return true;
        return false;
    }

    void Wait() {
        std::vector<pollfd> fds;
        std::vector<Worker*> owners;
        for (Worker& w : workers_) {
            if (w.resultFd < 0) continue;
            // A stop arrived: idle workers get no further unit.
            if (StopRequested() && w.unit < 0) CloseFd(w.unitFd);
            fds.push_back({w.resultFd, POLLIN, 0});
            owners.push_back(&w);
        }
        if (poll(fds.data(), fds.size(), -1) < 0) return;  // EINTR: look at the stop flag again
        for (std::size_t i = 0; i < fds.size(); ++i)
            if (fds[i].revents) Read(*owners[i]);
    }

    void Read(Worker& w) {
        char chunk[65536];
        const ssize_t n = read(w.resultFd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) return;
        if (n <= 0) return Ended(w);
        w.buffer.append(chunk, static_cast<std::size_t>(n));
        Parse(w);
    }

    void Parse(Worker& w) {
        std::size_t at = 0;
        while (w.buffer.size() - at >= 8) {
            const int unit = static_cast<int>(GetU32(w.buffer, at));
            const std::uint32_t length = GetU32(w.buffer, at + 4);
            if (length == kUnitDone) {
                at += 8;
                w.unit = -1;
                Feed(w);
                continue;
            }
            if (w.buffer.size() - at - 8 < length) break;
            const auto result = DecodeResult(w.buffer.substr(at + 8, length));
            at += 8 + length;
            if (result && work_.onResult) work_.onResult(unit, *result);
        }
        w.buffer.erase(0, at);
    }

    // The worker's output ended: it finished (its input was closed) or died.
    void Ended(Worker& w) {
        CloseFd(w.resultFd);
        CloseFd(w.unitFd);
        int status = 0;
        waitpid(w.pid, &status, 0);
        w.pid = -1;
        if (w.unit < 0) return;
        const int lost = w.unit;
        w.unit = -1;
        std::string why = "worker process ended unexpectedly";
        if (WIFSIGNALED(status)) why += " (signal " + std::to_string(WTERMSIG(status)) + ")";
        if (work_.onLost) work_.onLost(lost, why);
        // Carry on with a fresh worker while units remain.
        if (StopRequested() || next_ >= work_.units) return;
        Worker fresh;
        if (!Spawn(fresh)) return;
        workers_.push_back(std::move(fresh));
        Feed(workers_.back());
    }

    const PoolWork& work_;
    std::deque<Worker> workers_;  // a deque: references stay valid when a worker is added
    int next_ = 0;
};

int RunInProcess(const PoolWork& work) {
    if (work.startWorker) work.startWorker();
    int started = 0;
    for (; started < work.units && !StopRequested(); ++started) {
        const int unit = UnitAt(work, started);
        work.runUnit(unit, [&](const PhotoResult& r) {
            if (work.onResult) work.onResult(unit, r);
        });
    }
    if (work.stopWorker) work.stopWorker();
    return started;
}

}  // namespace

bool StopRequested() {
    return gStopSignal != 0;
}

int StopSignal() {
    return gStopSignal;
}

void InstallStopHandlers() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void RequestStop(int signal) {
    gStopSignal = signal;
}

void ClearStopRequest() {
    gStopSignal = 0;
}

int RunPool(const PoolWork& work) {
    if (work.units <= 0) return 0;
    if (work.jobs <= 1) return RunInProcess(work);
    return Pool(work).Run();
}

int UsableCores() {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (sched_getaffinity(0, sizeof cores, &cores) == 0 && CPU_COUNT(&cores) > 0)
        return CPU_COUNT(&cores);
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}
