#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "sim_script.h"

namespace lobby_sim {

// A task's wire record (1228 bytes): `flag` in byte 0, a fixed pattern in the
// reserved bytes, texts in the legacy code page; with `noNul` every text field is
// filled to its end (see --no-nul).
std::string buildRecord(const SimTask& task, std::uint8_t flag, bool noNul);

// `count` pseudo-random bytes.
std::string garbageBytes(std::mt19937& random, std::size_t count);

// The room and the game name (UTF-8, bounded by its field) of a record.
std::int32_t recordRoom(const std::string& record);
std::string recordName(const std::string& record);

} // namespace lobby_sim
