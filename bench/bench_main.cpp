#include <benchmark/benchmark.h>

#include "platform/memory.h"

int main(int argc, char** argv) {
    KeepPictureMemoryForReuse();  // as the program does at start-up
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
