#include "engine/fp_fault.h"

namespace quorvat {

namespace {
const char* fault_message(int flags) {
    if (flags & FE_DIVBYZERO) return "Divisão por zero em ponto flutuante.";
    if (flags & FE_OVERFLOW) return "Estouro em ponto flutuante.";
    return "Operação de ponto flutuante inválida.";
}

// "Estouro em ponto flutuante." becomes "Estouro em ponto flutuante em R1.".
std::string located(int flags, const std::string& where) {
    std::string message = fault_message(flags);
    message.insert(message.size() - 1, " em " + where);
    return message;
}
}  // namespace

FloatingPointFault::FloatingPointFault(int flags)
    : std::runtime_error(fault_message(flags)), flags_(flags) {}

FloatingPointFault::FloatingPointFault(int flags, const std::string& where)
    : std::runtime_error(located(flags, where)), flags_(flags) {}

void throw_fp_fault(int flags) {
    fp_clear();
    throw FloatingPointFault(flags);
}

}  // namespace quorvat
