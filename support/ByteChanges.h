#pragma once

#include "support/Address.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A change set: runs of bytes of one file, each with where it starts, what it held and what it holds after the
// change, in ascending order and apart (a run may end where the next begins). It is the one shape of a change: a
// command makes one, the checked write writes one, the history keeps one per step, and a patch file is the text
// of one. A replace or a patch may have millions of runs, so their bytes are pooled, one pool per side.
class ByteChanges {
public:
    struct Run {
        Address offset = 0;
        std::string_view before;
        std::string_view after; // as long as before
        // Where the run's bytes stand in the pools, and so in anything laid out as they are.
        std::size_t at = 0;

        [[nodiscard]] Address end() const { return offset + static_cast<Address>(before.size()); }
    };

    ByteChanges() = default;
    // One run.
    ByteChanges(Address offset, std::string_view before, std::string_view after) { add(offset, before, after); }

    // Adds a run after the last one: at or beyond its end, with after as long as before.
    void add(Address offset, std::string_view before, std::string_view after);
    // Adds the bytes of such a run that change, joining the last run where they meet it: a net change's runs.
    void addChanged(Address offset, std::string_view before, std::string_view after);
    void reserve(std::size_t runs, std::size_t bytes);

    [[nodiscard]] std::size_t size() const { return m_offsets.size(); }
    [[nodiscard]] bool empty() const { return m_offsets.empty(); }
    [[nodiscard]] Run operator[](std::size_t i) const;
    [[nodiscard]] Run back() const { return (*this)[size() - 1]; }
    // The bytes of all runs.
    [[nodiscard]] std::size_t byteCount() const { return m_before.size(); }
    // From the first run's start to the last run's end.
    [[nodiscard]] AddressRange span() const;

    // This change and then later as one: each byte holds what it held before the first of them to change it and
    // what the last one left; bytes that end as they began drop out, and runs that meet join.
    [[nodiscard]] ByteChanges followedBy(const ByteChanges& later) const;
    // What takes this change back: every run's bytes before and after swapped.
    [[nodiscard]] ByteChanges inverse() const&;
    [[nodiscard]] ByteChanges inverse() &&;

    friend bool operator==(const ByteChanges&, const ByteChanges&) = default;

private:
    std::vector<Address> m_offsets;
    // Where each run's bytes end in the pools.
    std::vector<std::size_t> m_ends;
    std::string m_before;
    std::string m_after;
};
