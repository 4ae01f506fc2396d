#pragma once

#include <cstdint>
#include <string>

// Overwrites one byte of an existing file in place and makes it durable before returning true. False when
// the file cannot be opened for writing or the offset is not inside it; the file never changes length.
// Raises EInOutError when the size query, positioning, writing or syncing fails after the open.
[[nodiscard]] bool WriteByteAt(const std::string& path, std::int32_t offset, std::uint8_t value);

// The directory of the running executable, ending in "/".
[[nodiscard]] std::string ProgramDir();
