#include "engine/error_reason.h"

#include <cerrno>
#include <cstdio>

namespace quorvat {

const char* error_reason(int error_number) {
    switch (error_number) {
        case ENOSPC: return "disco cheio";
        case EDQUOT: return "cota de disco excedida";
        case EACCES:
        case EPERM: return "permissão negada";
        case EROFS: return "sistema de arquivos somente leitura";
        case ENOENT: return "arquivo ou pasta inexistente";
        case ENOTDIR: return "parte do caminho não é uma pasta";
        case EISDIR: return "é uma pasta";
        case ENAMETOOLONG: return "nome longo demais";
        case ELOOP: return "links simbólicos demais";
        case EFBIG: return "arquivo grande demais";
        case EIO: return "erro de entrada e saída";
        case EMFILE:
        case ENFILE: return "arquivos abertos demais";
        case ENOMEM: return "memória insuficiente";
        case EBUSY:
        case ETXTBSY: return "arquivo em uso";
        case EXDEV: return "pastas em sistemas de arquivos diferentes";
        default: break;
    }
    static thread_local char text[32];
    std::snprintf(text, sizeof text, "erro %d", error_number);
    return text;
}

}  // namespace quorvat
