#include "support/FileCompare.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <system_error>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace FileCompare {

namespace {

// The byte searches below look at 64 bytes a turn where the processor compares 32 at once, else at eight, so that
// a comparison costs little more than reading the files; backwards, where only a step's runs are looked for,
// equal stretches are passed over with memcmp.
constexpr std::size_t Word = sizeof(std::uint64_t);
constexpr std::size_t EqualStretch = 4096;
constexpr std::uint64_t Ones = 0x0101010101010101;
constexpr std::uint64_t Highs = 0x8080808080808080;

std::uint64_t loadXor(const char* a, const char* b)
{
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, a, Word);
    std::memcpy(&y, b, Word);
    return x ^ y;
}

// The index within a word of its lowest-addressed byte marked by a set bit in bits.
std::size_t firstMarked(std::uint64_t bits)
{
    if constexpr (std::endian::native == std::endian::little)
        return std::size_t(std::countr_zero(bits)) / 8;
    else
        return std::size_t(std::countl_zero(bits)) / 8;
}

#if defined(__x86_64__)
const bool hasAvx2 = __builtin_cpu_supports("avx2");

// firstWhere() with 32 bytes a compare, on processors that have them.
__attribute__((target("avx2"))) std::size_t firstWhereAvx2(const char* a, const char* b, std::size_t n, bool differing)
{
    const auto* x = reinterpret_cast<const __m256i*>(a);
    const auto* y = reinterpret_cast<const __m256i*>(b);
    std::size_t i = 0;
    // Looking for a difference, 128 bytes are passed over at once while they all agree.
    for (; differing && i + 128 <= n; i += 128, x += 4, y += 4) {
        const __m256i d0 = _mm256_xor_si256(_mm256_loadu_si256(x), _mm256_loadu_si256(y));
        const __m256i d1 = _mm256_xor_si256(_mm256_loadu_si256(x + 1), _mm256_loadu_si256(y + 1));
        const __m256i d2 = _mm256_xor_si256(_mm256_loadu_si256(x + 2), _mm256_loadu_si256(y + 2));
        const __m256i d3 = _mm256_xor_si256(_mm256_loadu_si256(x + 3), _mm256_loadu_si256(y + 3));
        const __m256i any = _mm256_or_si256(_mm256_or_si256(d0, d1), _mm256_or_si256(d2, d3));
        if (!_mm256_testz_si256(any, any))
            break;
    }
    for (; i + 64 <= n; i += 64, x += 2, y += 2) {
        const __m256i e0 = _mm256_cmpeq_epi8(_mm256_loadu_si256(x), _mm256_loadu_si256(y));
        const __m256i e1 = _mm256_cmpeq_epi8(_mm256_loadu_si256(x + 1), _mm256_loadu_si256(y + 1));
        const std::uint64_t marks
            = std::uint64_t(std::uint32_t(_mm256_movemask_epi8(e1))) << 32 | std::uint32_t(_mm256_movemask_epi8(e0));
        const std::uint64_t wanted = differing ? ~marks : marks;
        if (wanted != 0)
            return i + std::size_t(std::countr_zero(wanted));
    }
    for (; i < n; ++i)
        if ((a[i] != b[i]) == differing)
            return i;
    return n;
}
#endif

// The first index where a and b differ (differing) or agree, or n.
std::size_t firstWhere(const char* a, const char* b, std::size_t n, bool differing)
{
    std::size_t i = 0;
#if defined(__x86_64__)
    if (hasAvx2)
        return firstWhereAvx2(a, b, n, differing);
#endif
    for (; i + Word <= n; i += Word) {
        const std::uint64_t x = loadXor(a + i, b + i);
        // A zero byte of x is an agreeing byte; the lowest mark of this test is always a true one.
        const std::uint64_t marks = differing ? x : (x - Ones) & ~x & Highs;
        if (marks != 0)
            return i + firstMarked(marks);
    }
    for (; i < n; ++i)
        if ((a[i] != b[i]) == differing)
            return i;
    return n;
}

// The last index where a and b differ (differing) or agree, or n for none.
std::size_t lastWhere(const char* a, const char* b, std::size_t n, bool differing)
{
    std::size_t end = n;
    if (differing) {
        while (end >= EqualStretch && std::memcmp(a + end - EqualStretch, b + end - EqualStretch, EqualStretch) == 0)
            end -= EqualStretch;
        for (; end >= Word; end -= Word)
            if (loadXor(a + end - Word, b + end - Word) != 0)
                break;
    }
    for (std::size_t i = end; i > 0; --i)
        if ((a[i - 1] != b[i - 1]) == differing)
            return i - 1;
    return n;
}

// Chunks of both files read at the same offsets.
class Chunks {
public:
    explicit Chunks(const Pair& pair)
        : m_pair(pair)
        , m_ours(std::make_unique_for_overwrite<char[]>(ChunkSize))
        , m_theirs(std::make_unique_for_overwrite<char[]>(ChunkSize))
        , m_common(pair.common)
    {
    }

    [[nodiscard]] Address common() const { return m_common; }
    [[nodiscard]] const char* ours() const { return m_ours.get(); }
    [[nodiscard]] const char* theirs() const { return m_theirs.get(); }

    // Reads the bytes of range, at most ChunkSize, that both files still have; a file cut short meanwhile ends
    // the comparison where it ends now.
    std::size_t read(AddressRange range)
    {
        const auto wanted
            = static_cast<std::size_t>(std::max<Address>(0, std::min(range.size(), m_common - range.begin)));
        const std::size_t got = std::min(m_pair.ours.readRange(range.begin, m_ours.get(), wanted),
            m_pair.theirs.readRange(range.begin, m_theirs.get(), wanted));
        if (got < wanted)
            m_common = range.begin + Address(got);
        return got;
    }

private:
    const Pair& m_pair;
    std::unique_ptr<char[]> m_ours;
    std::unique_ptr<char[]> m_theirs;
    Address m_common;
};

struct Hit {
    std::optional<Address> at;
    bool stopped = false;
};

// The first offset of range where the files differ (differing) or agree.
Hit firstWhere(Chunks& chunks, AddressRange range, bool differing, const GoOn& goOn)
{
    for (Address at = range.begin; at < std::min(range.end, chunks.common());) {
        const std::size_t got = chunks.read({ at, std::min(range.end, at + Address(ChunkSize)) });
        if (got == 0)
            break;
        const std::size_t i = firstWhere(chunks.ours(), chunks.theirs(), got, differing);
        if (i < got)
            return { at + Address(i) };
        at += Address(got);
        if (!goOn())
            return { std::nullopt, true };
    }
    return {};
}

// The last offset of range where the files differ (differing) or agree.
Hit lastWhere(Chunks& chunks, AddressRange range, bool differing, const GoOn& goOn)
{
    for (Address end = std::min(range.end, chunks.common()); end > range.begin;) {
        const Address from = std::max(range.begin, end - Address(ChunkSize));
        const std::size_t got = chunks.read({ from, end });
        if (got < std::size_t(end - from)) {
            // Cut short meanwhile: look again below the new end.
            end = chunks.common();
            continue;
        }
        const std::size_t i = lastWhere(chunks.ours(), chunks.theirs(), got, differing);
        if (i < got)
            return { from + Address(i) };
        end = from;
        if (!goOn())
            return { std::nullopt, true };
    }
    return {};
}

// The run of differing bytes that holds at: its first byte, when it starts there or later, and its end.
struct RunEnds {
    AddressRange run;
    bool stopped = false;
};
RunEnds runFrom(Chunks& chunks, Address start, const GoOn& goOn)
{
    const Hit end = firstWhere(chunks, { start, chunks.common() }, false, goOn);
    return { { start, end.at.value_or(chunks.common()) }, end.stopped };
}
RunEnds runAround(Chunks& chunks, Address at, const GoOn& goOn)
{
    const Hit before = lastWhere(chunks, { 0, at }, false, goOn);
    if (before.stopped)
        return { {}, true };
    RunEnds ends = runFrom(chunks, at, goOn);
    ends.run.begin = before.at ? *before.at + 1 : 0;
    return ends;
}

// The counts of a range, and whether its first and its last byte differ, so that the counts of ranges side by side
// join into those of both.
struct Stretch {
    Counts counts;
    bool firstDiffers = false;
    bool lastDiffers = false; // its last byte, read
};

Stretch countRange(Chunks& chunks, AddressRange range, const GoOn& goOn)
{
    Stretch stretch;
    Counts& counts = stretch.counts;
    bool lastDiffered = false;
    Address at = range.begin;
    while (at < std::min(range.end, chunks.common())) {
        const std::size_t got = chunks.read({ at, std::min(range.end, at + Address(ChunkSize)) });
        if (got == 0)
            break;
        const char* ours = chunks.ours();
        const char* theirs = chunks.theirs();
        if (at == range.begin)
            stretch.firstDiffers = ours[0] != theirs[0];
        for (std::size_t i = 0; i < got;) {
            const std::size_t start = i + firstWhere(ours + i, theirs + i, got - i, true);
            if (start == got) {
                lastDiffered = false;
                break;
            }
            const std::size_t end = start + firstWhere(ours + start, theirs + start, got - start, false);
            if (start > 0 || !lastDiffered) {
                ++counts.runs;
                if (!counts.first)
                    counts.first = AddressRange { at + Address(start), at + Address(end) };
            }
            if (counts.runs == 1 && counts.first->end == at + Address(start))
                counts.first->end = at + Address(end);
            counts.bytes += Address(end - start);
            lastDiffered = end == got;
            i = end;
        }
        at += Address(got);
        if (!goOn()) {
            counts.stopped = true;
            return stretch;
        }
    }
    stretch.lastDiffers = lastDiffered && at == range.end;
    return stretch;
}

// Counted in two halves from this many bytes: one on a thread of its own.
constexpr Address TwoHalvesFrom = 8 * Address(ChunkSize);

} // namespace

Counts count(const Pair& pair, const GoOn& goOn)
{
    // Two halves, each read and compared on a core of its own, take about half the time of one pass; the half on
    // this thread asks goOn, the other stops when told.
    const Address middle = pair.common / 2 / Address(ChunkSize) * Address(ChunkSize);
    std::atomic<bool> stop = false;
    FileHandle ours;
    FileHandle theirs;
    std::future<Stretch> later;
    if (pair.common >= TwoHalvesFrom) {
        ours = pair.ours.duplicate();
        theirs = pair.theirs.duplicate();
        try {
            later = std::async(std::launch::async, [&, middle] {
                const Pair half { ours, theirs, pair.common };
                Chunks chunks(half);
                return countRange(chunks, { middle, pair.common }, [&stop] { return !stop; });
            });
        } catch (const std::system_error&) {
            // No thread from the system: one pass on this one.
        }
    }
    if (!later.valid()) {
        Chunks chunks(pair);
        return countRange(chunks, { 0, pair.common }, goOn).counts;
    }
    const struct Stop {
        std::atomic<bool>& stop;
        ~Stop() { stop = true; } // before the future waits for the other half, on any way out
    } stopLater { stop };
    Chunks chunks(pair);
    Stretch first = countRange(chunks, { 0, middle }, goOn);
    while (!first.counts.stopped && later.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        first.counts.stopped = !goOn();
    if (first.counts.stopped)
        return first.counts;
    const Stretch second = later.get();
    // A file cut short below the middle ended the comparison there.
    if (chunks.common() < middle)
        return first.counts;
    Counts counts = first.counts;
    const bool joined = first.lastDiffers && second.firstDiffers;
    counts.bytes += second.counts.bytes;
    counts.runs += second.counts.runs - Address(joined);
    if (!counts.first)
        counts.first = second.counts.first;
    else if (joined && counts.first->end == middle)
        counts.first->end = second.counts.first->end;
    return counts;
}

Step step(const Pair& pair, Address from, bool forward, const GoOn& goOn)
{
    Chunks chunks(pair);
    if (forward) {
        // Past the run that holds from, if any, then on to the end, then from the start up to from.
        Address after = from + 1;
        if (from >= 0 && from < chunks.common()) {
            const Hit here = firstWhere(chunks, { from, from + 1 }, true, goOn);
            if (here.at) {
                const RunEnds held = runFrom(chunks, from, goOn);
                if (held.stopped)
                    return { std::nullopt, true };
                after = held.run.end;
            }
        }
        for (const AddressRange range : { AddressRange { after, chunks.common() }, AddressRange { 0, from } }) {
            const Hit first = firstWhere(chunks, range, true, goOn);
            if (first.stopped)
                return { std::nullopt, true };
            if (!first.at)
                continue;
            const RunEnds ends = runFrom(chunks, *first.at, goOn);
            if (ends.stopped)
                return { std::nullopt, true };
            return { ends.run };
        }
        return {};
    }
    // The last run that starts before from; else the last one from the end, unless it starts at from or before.
    const Hit last = lastWhere(chunks, { 0, from }, true, goOn);
    if (last.stopped)
        return { std::nullopt, true };
    Hit wrapped;
    if (!last.at) {
        wrapped = lastWhere(chunks, { from + 1, chunks.common() }, true, goOn);
        if (wrapped.stopped || !wrapped.at)
            return { std::nullopt, wrapped.stopped };
    }
    const RunEnds ends = runAround(chunks, last.at ? *last.at : *wrapped.at, goOn);
    if (ends.stopped)
        return { std::nullopt, true };
    if (!last.at && ends.run.begin <= from)
        return {};
    return { ends.run };
}

bool forEachRun(const Pair& pair, const RunVisit& visit, const GoOn& goOn)
{
    Chunks chunks(pair);
    // A run cut by a chunk's end waits here for the rest of it, up to a line's length.
    std::string ours;
    std::string theirs;
    Address pendingAt = 0;
    const auto flush = [&] {
        if (!ours.empty())
            visit(pendingAt, ours, theirs);
        ours.clear();
        theirs.clear();
    };
    for (Address at = 0; at < chunks.common();) {
        const std::size_t got = chunks.read({ at, at + Address(ChunkSize) });
        if (got == 0)
            break;
        for (std::size_t i = 0; i < got;) {
            const std::size_t start = i + firstWhere(chunks.ours() + i, chunks.theirs() + i, got - i, true);
            if (start > 0 || start == got)
                flush();
            if (start == got)
                break;
            const std::size_t end
                = start + firstWhere(chunks.ours() + start, chunks.theirs() + start, got - start, false);
            for (std::size_t piece = start; piece < end;) {
                if (ours.empty())
                    pendingAt = at + Address(piece);
                const std::size_t take = std::min(end - piece, LongestLine - ours.size());
                ours.append(chunks.ours() + piece, take);
                theirs.append(chunks.theirs() + piece, take);
                piece += take;
                if (ours.size() == LongestLine)
                    flush();
            }
            i = end;
        }
        at += Address(got);
        if (!goOn())
            return false;
    }
    flush();
    return true;
}

} // namespace FileCompare
