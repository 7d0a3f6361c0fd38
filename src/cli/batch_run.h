#pragma once
// The whole command: check everything that can be checked before any work
// (bad options, missing photos, an unreadable layout: one line and status 2),
// run the units on the workers, show progress, write the report.
#include <ostream>
#include <string>
#include <vector>

#include "cli/pipeline.h"

// The code a photo gets when its worker process died under it.
constexpr int kBatchWorkerLost = -100;

// Fills `plan` from the options; "" when the run can start, else a one-line error.
std::string PrepareBatch(const BatchOptions& options, const std::string& appDir, BatchPlan& plan);

// Runs the command with `args` (without the program name); `appDir` is the
// program folder. Returns the exit status. `endsProcess`: the caller ends the
// process at once with std::_Exit, so what the parent read for its workers is
// never freed (freeing the face models after the workers shared their pages
// takes a good part of a second: every page is touched again).
int RunBatchCommand(const std::vector<std::string>& args, const std::string& appDir,
                    std::ostream& out, std::ostream& err, bool terminal, bool endsProcess = false);
