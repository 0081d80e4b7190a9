// Bounded reading of the files the program reads whole (netlists, polynomial files):
// only regular files, never beyond a size limit, never blocking on a FIFO or a device.
#pragma once

#include <cstddef>
#include <string>

#include "engine/log.h"

namespace quorvat {

/// Generous limits: a netlist of 200 elements takes a few kilobytes, a polynomial file of
/// degree 30 under 2 KB.
constexpr std::size_t max_netlist_bytes = 1024 * 1024;
constexpr std::size_t max_polynomial_file_bytes = 64 * 1024;
/// The exact path reads circuits of up to 200,000 elements.
constexpr std::size_t max_exact_netlist_bytes = 16 * 1024 * 1024;
/// A polynomial file of any degree up to max_file_degree: 26 bytes a coefficient.
constexpr std::size_t max_wide_polynomial_file_bytes = 2 * 1024 * 1024;

enum class FileRead { ok, missing, not_regular, too_large, failed };

/// Reads the whole file at path into text when it is a regular file of at most limit
/// bytes. A FIFO or a device is refused before anything is read from it. error_number
/// holds the errno of a failure.
FileRead read_bounded_file(const std::string& path, std::size_t limit, std::string& text, int& error_number);

/// read_bounded_file, logging one line for every failure but a missing file, which the
/// caller reports in its own words ("Arquivo %s inexistente", "... não encontrado.").
FileRead read_text_file(LogSink& log, const std::string& path, std::size_t limit, std::string& text);

}  // namespace quorvat
