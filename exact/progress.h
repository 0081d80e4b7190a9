// Progress of a long exact solution, reported at most about once a second.
#pragma once

#include <chrono>
#include <functional>

namespace quorvat::exact {

/// Called with the stage's name (in Portuguese) and the share of it done, 0 to 1.
/// Returning false cancels the solution.
using ProgressCallback = std::function<bool(const char* stage, double fraction)>;

/// Throttles a callback to one call at the first report and then about one a second;
/// remembers a cancellation.
class ProgressThrottle {
public:
    explicit ProgressThrottle(const ProgressCallback& callback)
        : callback_(callback), last_(std::chrono::steady_clock::now() - std::chrono::seconds(1)) {}

    /// False once the callback has asked to stop.
    bool report(const char* stage, double fraction) {
        if (cancelled_) return false;
        if (!callback_) return true;
        auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::seconds(1)) return true;
        last_ = now;
        cancelled_ = !callback_(stage, fraction < 0 ? 0 : fraction > 1 ? 1 : fraction);
        return !cancelled_;
    }
    bool cancelled() const { return cancelled_; }

private:
    const ProgressCallback& callback_;
    std::chrono::steady_clock::time_point last_;
    bool cancelled_ = false;
};

}  // namespace quorvat::exact
