#pragma once

#include "support/Address.h"
#include "support/FileHandle.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Finding a run of bytes in a file, and reading what the user asked to find.
namespace ByteSearch {

// A search reads this much of the file at a time.
constexpr std::size_t ChunkSize = std::size_t(4) << 20;

// The bytes an answer of the find prompt stands for: a text between double quotes (a doubled quote inside
// standing for one), as its bytes, or pairs of hexadecimal digits, with or without blanks between the bytes.
// Blanks around the answer do not count. Nothing for anything else, the empty answer included.
[[nodiscard]] std::optional<std::string> parseAnswer(std::string_view answer);

struct Result {
    // The offset of the match's first byte.
    std::optional<Address> found;
    // goOn asked to stop before the search was done.
    bool stopped = false;
};

// Looks for needle among the first limit bytes of file, whole matches only. Forward, the first match that starts
// at from or after it, else, wrapping once, the first one before from; backward, the last match that starts at
// from or before it, else the last one after it. goOn is asked after every chunk read; once it answers false the
// search stops. Raises EInOutError when a read fails.
[[nodiscard]] Result find(FileHandle& file, Address limit, std::string_view needle, Address from, bool forward,
    const std::function<bool()>& goOn);

struct Matches {
    // The offsets of the matches' first bytes, in order.
    std::vector<Address> offsets;
    bool stopped = false;
};

// Every match of needle among the first limit bytes of file that does not overlap the one before it, from the
// start. goOn as for find().
[[nodiscard]] Matches findAll(
    FileHandle& file, Address limit, std::string_view needle, const std::function<bool()>& goOn);

} // namespace ByteSearch
