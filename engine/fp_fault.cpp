#include "engine/fp_fault.h"

namespace quorvat {

namespace {
const char* fault_message(int flags) {
    if (flags & FE_DIVBYZERO) return "Divisão por zero em ponto flutuante.";
    if (flags & FE_OVERFLOW) return "Estouro em ponto flutuante.";
    return "Operação de ponto flutuante inválida.";
}
}  // namespace

FloatingPointFault::FloatingPointFault(int flags)
    : std::runtime_error(fault_message(flags)), flags_(flags) {}

FloatingPointFault::FloatingPointFault(int flags, const std::string& where)
    : std::runtime_error(std::string(fault_message(flags)).insert(std::string(fault_message(flags)).size() - 1,
                                                                  " em " + where)),
      flags_(flags) {}

void throw_fp_fault(int flags) {
    fp_clear();
    throw FloatingPointFault(flags);
}

}  // namespace quorvat
