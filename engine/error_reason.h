// The reason of a failed system call, in Portuguese, for the log's error lines.
#pragma once

namespace quorvat {

/// "disco cheio" for ENOSPC, "permissão negada" for EACCES, and so on; an unknown code
/// gives "erro %d".
const char* error_reason(int error_number);

}  // namespace quorvat
