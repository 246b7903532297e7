// How much memory a run may hold: what decides whether a table's values are kept in memory or
// the table is read twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

inline constexpr std::size_t kNoMemoryLimit = SIZE_MAX;

// A size as HISTCHART_MEMORY gives it: whole bytes with an optional K, M or G suffix (powers of
// 1024, either case). Nothing for anything else, or a size beyond size_t.
std::optional<std::size_t> parse_memory_size(std::string_view text);

// The memory this process may still take: the system's MemAvailable, lowered by an
// address-space or data-size limit (ulimit -v, ulimit -d) and by the memory limits of its
// cgroups, each less what is already used of it.
// kNoMemoryLimit where none of them can be read.
std::size_t available_memory();
