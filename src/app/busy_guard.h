#pragma once
// The busy flag of a window operation, held for a scope.
//
//     BusyGuard busy(FBusy);
//     if (!busy) return;  // another operation is running
//
// The guard takes the flag only when it is clear and clears it again when the
// scope ends, however it ends: an early return, a failure or an exception
// (out of memory, say) can never leave the window refusing every command.
// A guard that found the flag set owns nothing and leaves it alone.
class BusyGuard {
  public:
    explicit BusyGuard(bool& flag) : flag_(flag), owns_(!flag) { flag_ = true; }
    ~BusyGuard() {
        if (owns_) flag_ = false;
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

    // True when this guard took the flag, i.e. the operation may run.
    explicit operator bool() const { return owns_; }

    // Ends the operation before the scope does (for work that must run after
    // it, such as a click that is itself guarded).
    void Release() {
        if (owns_) flag_ = false;
        owns_ = false;
    }

  private:
    bool& flag_;
    bool owns_;
};
