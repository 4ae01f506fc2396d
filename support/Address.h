#pragma once

#include <cstdint>
#include <limits>

// A byte's place in a file. Every offset and size above the file layer is one.
using Address = std::int64_t;

// The bytes from begin up to, not including, end.
struct AddressRange {
    Address begin = 0;
    Address end = 0;

    [[nodiscard]] Address size() const { return end - begin; }
    [[nodiscard]] bool empty() const { return end <= begin; }
    [[nodiscard]] bool contains(Address address) const { return address >= begin && address < end; }
    [[nodiscard]] bool overlaps(AddressRange other) const { return begin < other.end && other.begin < end; }

    friend bool operator==(const AddressRange&, const AddressRange&) = default;
};

// The largest size a file can have, and so every byte of any file: the program shows, finds in and writes the whole
// of it. A patch line that would end beyond it lies past the end of every file and is refused.
inline constexpr Address ReachableSize = std::numeric_limits<Address>::max();
