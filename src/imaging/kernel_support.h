#pragma once
// Small helpers shared by the rotation, sharpening and reduction kernels: the
// OpenMP pragma wrapper, the per-thread worker numbers, the instruction-set
// clones of a row kernel and a reusable scratch buffer.
#include <cstddef>
#include <vector>

#ifdef _OPENMP
#include <omp.h>
#define KAMBRIX_KERNEL_OMP(directive) _Pragma(directive)
#else
#define KAMBRIX_KERNEL_OMP(directive)
#endif

// A row kernel compiled twice where the platform picks a version at load time:
// AVX2 and the baseline. Neither enables FMA, so a product followed by a sum is
// rounded twice, exactly as the plain arithmetic the results are defined by.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__ELF__) && defined(__has_attribute)
// GCC inlines the helpers into each clone only when asked (flatten); clang
// refuses the two together and inlines into each clone by itself.
#if __has_attribute(target_clones) && defined(__clang__)
#define KAMBRIX_KERNEL_CLONES __attribute__((target_clones("avx2", "default")))
#elif __has_attribute(target_clones)
#define KAMBRIX_KERNEL_CLONES __attribute__((flatten, target_clones("avx2", "default")))
#endif
#endif
#ifndef KAMBRIX_KERNEL_CLONES
#define KAMBRIX_KERNEL_CLONES
#endif

namespace kernel {

inline int WorkerCount() {
#ifdef _OPENMP
    return omp_get_max_threads();
#else
    return 1;
#endif
}

inline int WorkerIndex() {
#ifdef _OPENMP
    return omp_get_thread_num();
#else
    return 0;
#endif
}

// Lets the runtime size each team by the idle cores (a descheduled helper makes
// every band wait for it on a busy machine); the caller's setting is restored.
class IdleCoreTeams {
  public:
#ifdef _OPENMP
    IdleCoreTeams() : previous_(omp_get_dynamic()) {
        omp_set_dynamic(1);
    }
    ~IdleCoreTeams() {
        omp_set_dynamic(previous_);
    }

  private:
    int previous_;
#endif
};

// A buffer kept per thread and per kind between calls, so that repeated calls
// allocate nothing. The yield callback may run another kernel of the same
// kind on this thread while a lease is held; that inner call gets a buffer
// of its own instead of trampling the outer one.
template <typename T, typename Tag>
class ScratchLease {
  public:
    ScratchLease() {
        if (!Busy()) {
            Busy() = true;
            owner_ = true;
            buffer_ = &Shared();
        } else {
            buffer_ = &local_;
        }
    }
    ~ScratchLease() {
        if (owner_) Busy() = false;
    }
    ScratchLease(const ScratchLease&) = delete;
    ScratchLease& operator=(const ScratchLease&) = delete;

    // At least `count` elements; the content is whatever was left there.
    T* Get(std::size_t count) {
        if (buffer_->size() < count) buffer_->resize(count);
        return buffer_->data();
    }

  private:
    static std::vector<T>& Shared() {
        thread_local std::vector<T> buffer;
        return buffer;
    }
    static bool& Busy() {
        thread_local bool busy = false;
        return busy;
    }
    std::vector<T>* buffer_ = nullptr;
    std::vector<T> local_;
    bool owner_ = false;
};

}  // namespace kernel
