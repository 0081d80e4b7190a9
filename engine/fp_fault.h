// Floating-point faults: division by zero, invalid operation and overflow abandon the
// command in progress. The engine tests the status flags after each operation that can
// fault and throws FloatingPointFault, which the shell shows in an error box.
#pragma once

#include <cfenv>
#include <stdexcept>
#include <string>

namespace quorvat {

constexpr int fp_fault_flags = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW;

/// A floating-point fault, its message in Portuguese as the error box shows it.
class FloatingPointFault : public std::runtime_error {
public:
    explicit FloatingPointFault(int flags);
    /// The message names where the fault happened: "Estouro em ponto flutuante em R1.".
    FloatingPointFault(int flags, const std::string& where);
    int flags() const { return flags_; }

private:
    int flags_;
};

/// Clears the fault flags; called at the start of every command.
inline void fp_clear() { std::feclearexcept(FE_ALL_EXCEPT); }

[[noreturn]] void throw_fp_fault(int flags);

/// Throws FloatingPointFault when a fault flag is raised.
inline void fp_check() {
    if (int raised = std::fetestexcept(fp_fault_flags)) throw_fp_fault(raised);
}

/// Saves the floating-point status flags and restores them on destruction. Window code
/// that runs inside an engine command (the log sink) uses it.
class FpFlagsGuard {
public:
    FpFlagsGuard() { std::fegetexceptflag(&saved_, FE_ALL_EXCEPT); }
    ~FpFlagsGuard() { std::fesetexceptflag(&saved_, FE_ALL_EXCEPT); }
    FpFlagsGuard(const FpFlagsGuard&) = delete;
    FpFlagsGuard& operator=(const FpFlagsGuard&) = delete;

private:
    std::fexcept_t saved_;
};

}  // namespace quorvat
