// Reading the descriptions up front, with and without the library's own
// loading threads. Each case loads the library afresh in a child process, so
// that the setting is read at load and the child's processor time is the load's.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_folder.h"

namespace {

double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    const auto seconds = [](const timeval& v) { return v.tv_sec + v.tv_usec / 1e6; };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

using LoadFn = int (*)(const char*);
using DetectFn = int (*)(const char*, int, const char*, int, int);
using MinSizeFn = void (*)(int, int);
using RectFn = int (*)(int, int);

// In the child: what went wrong, or "" when all held.
std::string LoadAndSearch(bool helpers) {
    if (!helpers) setenv("FACEDETECT_HELPER_THREADS", "0", 1);
    void* handle = dlopen((ProgramDir() / "libfacedetect.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    unsetenv("FACEDETECT_HELPER_THREADS");
    if (!handle) return "not loaded";
    const auto load = reinterpret_cast<LoadFn>(dlsym(handle, "loadDescription"));
    const auto detect = reinterpret_cast<DetectFn>(dlsym(handle, "facedetect"));
    const auto minSize = reinterpret_cast<MinSizeFn>(dlsym(handle, "setMinSize"));
    const auto rect = reinterpret_cast<RectFn>(dlsym(handle, "getRect"));
    if (!load || !detect || !minSize || !rect) return "an export is missing";
    std::ostringstream why;
    // Names resolve beside the library, as a search's do.
    for (const char* name : {"haarcascade_frontalface_default.xml", "ago.xml"})
        if (const int r = load(name); r != 0) why << name << " answered " << r << "; ";
    if (const int r = load("no-such-description.xml"); r != -4)
        why << "a missing description answered " << r << "; ";
    if (const int r = load(nullptr); r != -4) why << "no name answered " << r << "; ";
    const double all = CpuSeconds(RUSAGE_SELF), mine = CpuSeconds(RUSAGE_THREAD);
    if (!helpers && all - mine > 0.02 + 0.03 * all)
        why << "other threads worked " << all - mine << " s of " << all << " s; ";
    const std::string photo =
        (SourceDir() / "tests" / "unit" / "facedetect" / "face_frontal_400px_cc0.jpg").string();
    minSize(100, 100);
    if (detect(photo.c_str(), 0, "haarcascade_frontalface_default.xml", 0, 3) != 0 ||
        rect(-1, -1) < 1)
        why << "no face found after loading up front; ";
    dlclose(handle);
    return why.str();
}

class FaceLibraryLoad : public ::testing::TestWithParam<bool> {};

TEST_P(FaceLibraryLoad, DescriptionsReadUpFrontServeTheSearch) {
    TempFolder t;
    const std::string verdict = t.Dir() + "verdict";
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string why = LoadAndSearch(GetParam());
        std::ofstream(verdict) << why;
        _exit(why.empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    std::ifstream in(verdict);
    const std::string why((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << why;
}

INSTANTIATE_TEST_SUITE_P(HelperThreads, FaceLibraryLoad, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "on" : "off";
                         });

}  // namespace
