// The --help text and the manual page: one text serves both.
#pragma once

#include <cstddef>
#include <string>

// The --help text, its lines shorter than `width` columns, and the same as
// a manual page (which the reader wraps).
std::string CliUsage(std::size_t width = 80);
std::string CliManPage(const std::string &version);
