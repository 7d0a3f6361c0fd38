// kambrix-batch: frames, composes and saves the sheets of many photos without
// a window, on every core.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/batch_run.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunBatchCommand(args, ExecutableFolder(), std::cout, std::cerr,
                           isatty(STDERR_FILENO) != 0);
}
