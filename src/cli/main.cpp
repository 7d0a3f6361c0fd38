// kambrix-batch: frames, composes and saves the sheets of many photos without
// a window, on every core.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/batch_run.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = RunBatchCommand(args, ExecutableFolder(), std::cout, std::cerr,
                                       isatty(STDERR_FILENO) != 0, true);
    // Every output is closed and the report written: ending here spares the
    // freeing of what the process still holds, the face models above all.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    std::_Exit(status);
}
