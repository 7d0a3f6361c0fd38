#pragma once
// Runs the work units of a batch on several worker processes. Processes, not
// threads: the face library keeps one set of results per process, so workers
// must not share a process.
// The parent hands out one unit at a time to whichever worker is free (in the
// order asked for), so the assignment of photos to sheets never depends on
// timing; results come back photo by photo, in completion order.
#include <functional>
#include <string>
#include <vector>

#include "cli/report.h"

using EmitFn = std::function<void(const PhotoResult&)>;

struct PoolWork {
    int units = 0;
    int jobs = 1;  // 1: everything runs in this process, no worker is started
    // The units in the order they are handed out (each once); empty: 0, 1, 2 ...
    std::vector<int> order;
    // In each worker (or once, in this process) before its first unit.
    std::function<void()> startWorker;
    // In this process after each worker is forked (not with jobs 1).
    std::function<void()> afterFork;
    // In each worker (or once, in this process) after its last unit.
    std::function<void()> stopWorker;
    // Runs one unit in a worker; calls deliver once per photo it finishes.
    std::function<void(int unit, const EmitFn& deliver)> runUnit;
    // In this process, for every result, in completion order.
    std::function<void(int unit, const PhotoResult& result)> onResult;
    // In this process, when a worker ended before finishing `unit`.
    std::function<void(int unit, const std::string& why)> onLost;
};

// Whether Ctrl-C (or a termination request) has arrived; the run then hands
// out no further unit, lets the units in progress finish and returns.
bool StopRequested();
// The signal that asked to stop (SIGINT or SIGTERM), 0 when none.
int StopSignal();
// Installs the handlers that turn SIGINT and SIGTERM into a stop request.
void InstallStopHandlers();
// For tests: request a stop as the handler would, or clear it.
void RequestStop(int signal);
void ClearStopRequest();

// Returns the number of units started (all of them unless a stop came).
int RunPool(const PoolWork& work);

// The cores this process may run on (a job runner such as Slurm may give it
// fewer than the machine has), at least 1: the number of workers by default.
int UsableCores();
