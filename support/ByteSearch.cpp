#include "support/ByteSearch.h"

#include "support/HexText.h"
#include "support/ReadAhead.h"

#include <algorithm>
#include <cstring>

#include <immintrin.h>

namespace ByteSearch {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && HexText::isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && HexText::isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::string> quotedText(std::string_view inner)
{
    std::string bytes;
    for (std::size_t i = 0; i < inner.size(); ++i) {
        // A quote inside stands for itself only doubled; a single one would end the text early.
        if (inner[i] == '"' && (++i == inner.size() || inner[i] != '"'))
            return std::nullopt;
        bytes += inner[i];
    }
    if (bytes.empty())
        return std::nullopt;
    return bytes;
}

// Pairs of hexadecimal digits or ??, blanks only between them.
std::optional<Pattern> hexPattern(std::string_view text)
{
    Pattern pattern;
    for (std::size_t i = 0; i < text.size();) {
        if (HexText::isBlank(text[i])) {
            ++i;
            continue;
        }
        if (i + 1 >= text.size())
            return std::nullopt;
        if (text[i] == '?' && text[i + 1] == '?') {
            pattern.bytes += '\0';
            pattern.known += '\0';
        } else {
            const int high = HexText::digitValue(text[i]);
            const int low = HexText::digitValue(text[i + 1]);
            if (high < 0 || low < 0)
                return std::nullopt;
            pattern.bytes += static_cast<char>(high * 16 + low);
            pattern.known += '\xFF';
        }
        i += 2;
    }
    if (pattern.bytes.empty())
        return std::nullopt;
    return pattern;
}

bool sameLetters(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

std::optional<ByteValues::Type> typeNamed(std::string_view name)
{
    for (const ByteValues::Type type : ByteValues::AllTypes)
        if (type != ByteValues::Type::Text && sameLetters(name, ByteValues::name(type)))
            return type;
    return std::nullopt;
}

// Every pattern has a known byte, all are as long: what the filter needs.
bool searchable(const Query& query)
{
    return std::all_of(query.patterns.begin(), query.patterns.end(), [&](const Pattern& pattern) {
        return pattern.bytes.size() == query.size() && pattern.known.size() == pattern.bytes.size()
            && pattern.known.find('\xFF') != std::string::npos;
    });
}

bool matchesZeros(const Pattern& pattern)
{
    for (std::size_t i = 0; i < pattern.bytes.size(); ++i)
        if (pattern.isKnown(i) && pattern.bytes[i] != 0)
            return false;
    return true;
}

// The filter that finds where a match may start: a pattern's first and last known bytes, each compared at its
// place over 16 or 32 starts at once, as fast memchr-style searches do; a start that passes is then compared whole.
// On random bytes one start in 65536 passes a filter of two bytes, so the search costs little beyond the reading.
struct Probes {
    int count = 0;
    std::size_t firstAt[2] {}, lastAt[2] {};
    unsigned char first[2] {}, last[2] {};
};

// The first start from from on, below positions, that passes the filter; positions when none does. A start s
// reads data[s + lastAt], so data must hold positions - 1 + lastAt bytes.
using NextCandidate = std::size_t (*)(const char* data, std::size_t from, std::size_t positions, const Probes& probes);

inline bool passes(const char* data, std::size_t at, const Probes& probes, int k)
{
    return static_cast<unsigned char>(data[at + probes.firstAt[k]]) == probes.first[k]
        && static_cast<unsigned char>(data[at + probes.lastAt[k]]) == probes.last[k];
}

template <int Count>
std::size_t nextCandidateSse2(const char* data, std::size_t from, std::size_t positions, const Probes& probes)
{
    __m128i first[Count], last[Count];
    for (int k = 0; k < Count; ++k) {
        first[k] = _mm_set1_epi8(static_cast<char>(probes.first[k]));
        last[k] = _mm_set1_epi8(static_cast<char>(probes.last[k]));
    }
    std::size_t at = from;
    for (; at + 16 <= positions; at += 16) {
        __m128i hit = _mm_setzero_si128();
        for (int k = 0; k < Count; ++k) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + probes.firstAt[k]));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + probes.lastAt[k]));
            hit = _mm_or_si128(hit, _mm_and_si128(_mm_cmpeq_epi8(a, first[k]), _mm_cmpeq_epi8(b, last[k])));
        }
        if (const int mask = _mm_movemask_epi8(hit))
            return at + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
    for (; at < positions; ++at)
        for (int k = 0; k < Count; ++k)
            if (passes(data, at, probes, k))
                return at;
    return positions;
}

// Where the filter compares: the first and last known bytes of each pattern, as pointers for start 0.
struct Places {
    const char* first[2];
    const char* last[2];
};

// The starts among the 32 from at on that pass the filter, as bytes of all ones. Shared: both patterns compare
// the same two places with their bytes swapped (a number's two orders), so the smaller of the two bytes there
// must be the smaller byte wanted and the larger the larger.
template <int Count, bool Shared>
__attribute__((target("avx2"), always_inline)) inline __m256i passingAvx2(
    const Places& places, std::size_t at, const __m256i* first, const __m256i* last)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(places.first[0] + at));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(places.last[0] + at));
    if constexpr (Shared)
        return _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_min_epu8(a, b), first[0]), _mm256_cmpeq_epi8(_mm256_max_epu8(a, b), last[0]));
    __m256i hit = _mm256_and_si256(_mm256_cmpeq_epi8(a, first[0]), _mm256_cmpeq_epi8(b, last[0]));
    if constexpr (Count == 2) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(places.first[1] + at));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(places.last[1] + at));
        hit = _mm256_or_si256(hit, _mm256_and_si256(_mm256_cmpeq_epi8(c, first[1]), _mm256_cmpeq_epi8(d, last[1])));
    }
    return hit;
}

__attribute__((target("avx2"), always_inline)) inline std::uint64_t bits(__m256i hit)
{
    return std::uint32_t(_mm256_movemask_epi8(hit));
}

// Four blocks of 32 starts a step, tested at once: a start passes in one of 65536 places on random bytes.
template <int Count, bool Shared>
__attribute__((target("avx2"))) std::size_t nextCandidateAvx2(
    const char* data, std::size_t from, std::size_t positions, const Probes& probes)
{
    __m256i first[Count], last[Count];
    Places places {};
    for (int k = 0; k < Count; ++k) {
        first[k] = _mm256_set1_epi8(static_cast<char>(probes.first[k]));
        last[k] = _mm256_set1_epi8(static_cast<char>(probes.last[k]));
        places.first[k] = data + probes.firstAt[k];
        places.last[k] = data + probes.lastAt[k];
    }
    if constexpr (Shared) {
        first[0] = _mm256_set1_epi8(static_cast<char>(std::min(probes.first[0], probes.last[0])));
        last[0] = _mm256_set1_epi8(static_cast<char>(std::max(probes.first[0], probes.last[0])));
    }
    std::size_t at = from;
    for (; at + 128 <= positions; at += 128) {
        const __m256i h0 = passingAvx2<Count, Shared>(places, at, first, last);
        const __m256i h1 = passingAvx2<Count, Shared>(places, at + 32, first, last);
        const __m256i h2 = passingAvx2<Count, Shared>(places, at + 64, first, last);
        const __m256i h3 = passingAvx2<Count, Shared>(places, at + 96, first, last);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(h0, h1), _mm256_or_si256(h2, h3));
        if (_mm256_testz_si256(any, any))
            continue;
        if (const std::uint64_t low = bits(h0) | bits(h1) << 32)
            return at + static_cast<std::size_t>(__builtin_ctzll(low));
        return at + 64 + static_cast<std::size_t>(__builtin_ctzll(bits(h2) | bits(h3) << 32));
    }
    for (; at + 32 <= positions; at += 32) {
        const __m256i hit = passingAvx2<Count, Shared>(places, at, first, last);
        if (const std::uint64_t mask = bits(hit))
            return at + static_cast<std::size_t>(__builtin_ctzll(mask));
    }
    for (; at < positions; ++at)
        for (int k = 0; k < Count; ++k)
            if (passes(data, at, probes, k))
                return at;
    return positions;
}

NextCandidate nextCandidateFor(const Probes& probes)
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    const bool shared = probes.count == 2 && probes.firstAt[0] == probes.firstAt[1]
        && probes.lastAt[0] == probes.lastAt[1] && probes.first[0] == probes.last[1]
        && probes.last[0] == probes.first[1];
    if (avx2)
        return probes.count == 1 ? nextCandidateAvx2<1, false>
            : shared             ? nextCandidateAvx2<2, true>
                                 : nextCandidateAvx2<2, false>;
    return probes.count == 1 ? nextCandidateSse2<1> : nextCandidateSse2<2>;
}

// A scan reads this many pieces itself before it has the rest of a range read ahead, and only a range left of at
// least ReadAheadFrom bytes.
constexpr std::uint64_t PiecesBeforeReadingAhead = 4;
constexpr std::size_t ReadAheadFrom = 4 * ReadSize;
// A backward search looks through windows of at most this many bytes, each forward.
constexpr Address LongestWindow = 4 * Address(ChunkSize);

// Reads the file piece by piece and looks for the query's patterns in what it holds.
class Scan {
public:
    // Told of a match: its offset, which pattern, and its bytes; false stops the scan.
    using OnMatch = std::function<bool(Address offset, std::size_t pattern, const char* bytes)>;

    Scan(FileHandle& file, const Query& query, const std::function<bool()>& goOn)
        : m_file(file)
        , m_query(query)
        , m_size(query.size())
        , m_goOn(goOn)
        , m_pieces(file, ReadSize, (query.size() + 63) / 64 * 64)
        , m_skipHoles(std::none_of(query.patterns.begin(), query.patterns.end(), matchesZeros))
    {
        m_probes.count = static_cast<int>(std::min<std::size_t>(2, query.patterns.size()));
        for (int k = 0; k < m_probes.count; ++k) {
            const Pattern& pattern = query.patterns[std::size_t(k)];
            const std::size_t firstAt = pattern.known.find('\xFF');
            const std::size_t lastAt = pattern.known.rfind('\xFF');
            m_probes.firstAt[k] = firstAt;
            m_probes.lastAt[k] = lastAt;
            m_probes.first[k] = static_cast<unsigned char>(pattern.bytes[firstAt]);
            m_probes.last[k] = static_cast<unsigned char>(pattern.bytes[lastAt]);
        }
        m_next = nextCandidateFor(m_probes);
    }

    [[nodiscard]] bool stopped() const { return m_stopped; }

    // Visits every match lying wholly inside [begin, end), in order, until onMatch answers false. Where a hole
    // lies, only the starts of matches that reach data are read: no pattern that has a known byte other than zero
    // can match the zeros of a hole alone. Returns false when the scan was stopped.
    bool each(Address begin, Address end, const OnMatch& onMatch)
    {
        // goOn hears of the last bytes read too, so that a search of a small file lets events run once.
        return eachRange(begin, end, onMatch) && countRead(m_sinceAsked > 0 ? ChunkSize : 0);
    }

    // The first match lying wholly inside [begin, end).
    std::optional<Address> first(Address begin, Address end, std::size_t& pattern)
    {
        std::optional<Address> found;
        each(begin, end, [&](Address offset, std::size_t which, const char*) {
            found = offset;
            pattern = which;
            return false;
        });
        return found;
    }

    // The last match lying wholly inside [begin, end), looking in windows from the end towards the start; each
    // window reaches size - 1 bytes into the one after it. The first is one chunk long, so that a match near costs
    // little; each next one twice as long, up to LongestWindow, so that a long search starts its reading ahead
    // a few times only.
    std::optional<Address> last(Address begin, Address end, std::size_t& pattern)
    {
        const auto n = static_cast<Address>(m_size);
        Address window = ChunkSize;
        for (Address high = end; high - begin >= n; window = std::min(2 * window, LongestWindow)) {
            const Address low = std::max<Address>(begin, high - window);
            std::optional<Address> found;
            each(low, high, [&](Address offset, std::size_t which, const char*) {
                found = offset;
                pattern = which;
                return true;
            });
            if (found || low == begin || m_stopped)
                return found;
            high = low + n - 1;
        }
        return std::nullopt;
    }

private:
    // each() but for the last ask of goOn.
    bool eachRange(Address begin, Address end, const OnMatch& onMatch)
    {
        if (!m_skipHoles)
            return run(begin, end, onMatch);
        const auto n = static_cast<Address>(m_size);
        // Ranges around each run of data, joined where they meet; a match reaching data starts in one.
        std::optional<AddressRange> pending;
        for (Address at = begin; at < end;) {
            const std::optional<FileHandle::DataRun> data = m_file.dataFrom(std::max<Address>(0, at));
            if (!data || data->begin >= end)
                break;
            const AddressRange range { std::max(begin, data->begin - (n - 1)),
                data->end >= end ? end : std::min(end, data->end + (n - 1)) };
            if (pending && range.begin <= pending->end) {
                pending->end = std::max(pending->end, range.end);
            } else {
                if (pending && !run(pending->begin, pending->end, onMatch))
                    return false;
                pending = range;
            }
            at = data->end;
            if (!countRead(ReadSize / 64)) // every look counts, so that a file of many holes lets events run
                return false;
        }
        return !pending || run(pending->begin, pending->end, onMatch);
    }

    // Every match wholly inside [begin, end), read in pieces of ReadSize. A piece's last size - 1 bytes are
    // carried on to the next one, so that a match across their edge is found; no match fits in them alone, so
    // none is visited twice. Once the scan has gone through a few pieces, the rest of a long range is read a few
    // pieces ahead on another thread while this one looks through those before; a search whose match is near
    // does not pay for the thread.
    bool run(Address begin, Address end, const OnMatch& onMatch)
    {
        const std::size_t n = m_size;
        struct Stop {
            ReadAhead& pieces;
            ~Stop() { pieces.stop(); }
        } const stopReading { m_pieces };
        bool ahead = false;
        std::uint64_t i = 0; // the piece of the range read ahead; the bytes carried stand just before it
        std::size_t carried = 0;
        for (Address at = begin; end - at + Address(carried) >= Address(n);) {
            if (!ahead && m_readAhead && m_piecesRead >= PiecesBeforeReadingAhead
                && end - at >= Address(ReadAheadFrom)) {
                ahead = m_pieces.start(at, end);
                m_readAhead = ahead;
            }
            char* const piece = m_pieces.piece(i);
            const auto wanted = static_cast<std::size_t>(std::min<Address>(ReadSize, end - at));
            const std::size_t got = ahead ? m_pieces.take(i) : m_file.readRange(at, piece, wanted);
            ++m_piecesRead;
            char* const data = piece - carried;
            const std::size_t held = carried + got;
            const Address base = at - Address(carried);
            if (held >= n) {
                const std::size_t positions = held - n + 1;
                for (std::size_t from = 0; (from = m_next(data, from, positions, m_probes)) < positions; ++from) {
                    const std::optional<std::size_t> which = matchAt(data + from);
                    if (which && !onMatch(base + Address(from), *which, data + from))
                        return false;
                }
            }
            at += Address(got);
            if (!countRead(got))
                return false;
            if (got < wanted)
                return true;
            carried = std::min(held, n - 1);
            if (ahead) {
                std::memcpy(m_pieces.piece(i + 1) - carried, data + held - carried, carried);
                m_pieces.release(i++);
            } else {
                std::memmove(piece - carried, data + held - carried, carried);
            }
        }
        return true;
    }

    [[nodiscard]] std::optional<std::size_t> matchAt(const char* at) const
    {
        for (std::size_t k = 0; k < m_query.patterns.size(); ++k) {
            const Pattern& pattern = m_query.patterns[k];
            std::size_t i = 0;
            while (i < m_size && ((at[i] ^ pattern.bytes[i]) & pattern.known[i]) == 0)
                ++i;
            if (i == m_size)
                return k;
        }
        return std::nullopt;
    }

    // Asks goOn after every ChunkSize bytes read.
    bool countRead(std::size_t bytes)
    {
        m_sinceAsked += bytes;
        if (m_sinceAsked < ChunkSize)
            return true;
        m_sinceAsked = 0;
        m_stopped = !m_goOn();
        return !m_stopped;
    }

    FileHandle& m_file;
    const Query& m_query;
    std::size_t m_size;
    const std::function<bool()>& m_goOn;
    ReadAhead m_pieces;
    std::uint64_t m_piecesRead = 0;
    bool m_readAhead = true; // until the system gives no thread
    bool m_skipHoles;
    Probes m_probes;
    NextCandidate m_next;
    std::size_t m_sinceAsked = 0;
    bool m_stopped = false;
};

} // namespace

Pattern Pattern::exactly(std::string bytes)
{
    Pattern pattern;
    pattern.known.assign(bytes.size(), '\xFF');
    pattern.bytes = std::move(bytes);
    return pattern;
}

std::optional<std::string> parseAnswer(std::string_view answer)
{
    answer = trimmed(answer);
    if (answer.empty())
        return std::nullopt;
    if (answer.front() != '"')
        return HexText::bytesOf(answer, HexText::Blanks::BetweenBytes);
    if (answer.size() < 2 || answer.back() != '"')
        return std::nullopt;
    return quotedText(answer.substr(1, answer.size() - 2));
}

Parsed parseQuery(std::string_view answer)
{
    using Outcome = Parsed::Outcome;
    Parsed parsed;
    answer = trimmed(answer);
    if (const std::size_t blank = answer.find(' '); blank != std::string_view::npos) {
        if (const std::optional<ByteValues::Type> type = typeNamed(answer.substr(0, blank))) {
            const std::string_view value = trimmed(answer.substr(blank));
            const auto little = ByteValues::bytesOf(*type, ByteValues::Order::Little, value);
            const auto big = ByteValues::bytesOf(*type, ByteValues::Order::Big, value);
            if (!little || !big) {
                parsed.outcome = Outcome::NoValue;
                parsed.value = std::string(value);
                return parsed;
            }
            parsed.outcome = Outcome::Understood;
            parsed.query.type = type;
            parsed.query.patterns.push_back(Pattern::exactly(*little));
            if (*big != *little) {
                parsed.query.patterns.front().order = ByteValues::Order::Little;
                parsed.query.patterns.push_back(Pattern::exactly(*big));
                parsed.query.patterns.back().order = ByteValues::Order::Big;
            }
            return parsed;
        }
    }
    std::optional<Pattern> pattern;
    if (!answer.empty() && answer.front() == '"') {
        if (const std::optional<std::string> text = parseAnswer(answer))
            pattern = Pattern::exactly(*text);
    } else {
        pattern = hexPattern(answer);
    }
    if (!pattern)
        return parsed;
    if (pattern->known.find('\xFF') == std::string::npos) {
        parsed.outcome = Outcome::OnlyWildcards;
        return parsed;
    }
    parsed.outcome = Outcome::Understood;
    parsed.query.patterns.push_back(std::move(*pattern));
    return parsed;
}

Result find(
    FileHandle& file, Address limit, const Query& query, Address from, bool forward, const std::function<bool()>& goOn)
{
    Result result;
    if (query.empty() || !searchable(query))
        return result;
    const auto n = static_cast<Address>(query.size());
    Scan scan(file, query, goOn);
    if (forward) {
        result.found = scan.first(std::max<Address>(from, 0), limit, result.pattern);
        if (!result.found && !scan.stopped())
            result.found = scan.first(0, std::min(from + n - 1, limit), result.pattern);
    } else {
        result.found = scan.last(0, std::min(from + n, limit), result.pattern);
        if (!result.found && !scan.stopped())
            result.found = scan.last(std::max<Address>(from + 1, 0), limit, result.pattern);
    }
    result.stopped = scan.stopped();
    if (result.stopped)
        result.found.reset();
    return result;
}

Matches findAll(FileHandle& file, Address limit, const Query& query, const std::function<bool()>& goOn)
{
    Matches matches;
    if (query.empty() || !searchable(query))
        return matches;
    const auto n = static_cast<Address>(query.size());
    const bool keepBytes = std::any_of(query.patterns.begin(), query.patterns.end(),
        [](const Pattern& pattern) { return pattern.known.find('\0') != std::string::npos; });
    Scan scan(file, query, goOn);
    scan.each(0, limit, [&](Address offset, std::size_t pattern, const char* bytes) {
        if (matches.offsets.empty() || offset >= matches.offsets.back() + n) {
            matches.offsets.push_back(offset);
            matches.patterns.push_back(static_cast<std::uint8_t>(pattern));
            if (keepBytes)
                matches.bytes.append(bytes, std::size_t(n));
        }
        return true;
    });
    matches.stopped = scan.stopped();
    return matches;
}

Replacement replacementFor(const Query& found, const Query& replacement)
{
    using Outcome = Replacement::Outcome;
    Replacement result;
    if (found.type.has_value() != replacement.type.has_value())
        return { Outcome::NumberAndBytes, {} };
    if (replacement.size() != found.size())
        return { found.type ? Outcome::WidthDiffers : Outcome::LengthDiffers, {} };
    if (!found.type) {
        const Pattern& searched = found.patterns.front();
        const Pattern& put = replacement.patterns.front();
        for (std::size_t i = 0; i < put.bytes.size(); ++i)
            if (!put.isKnown(i) && searched.isKnown(i))
                return { Outcome::UnknownWhereKnown, {} };
        result.patterns.push_back(put);
        return result;
    }
    // A number goes in the order of the one it replaces. A match that reads the same both ways has no order of
    // its own: only a value that also reads the same both ways may replace it, unless the type has one order.
    for (const Pattern& searched : found.patterns) {
        std::optional<ByteValues::Order> order = searched.order;
        if (!order && ByteValues::hasOrder(*found.type) && replacement.patterns.size() > 1)
            return { Outcome::OrderUnknown, {} };
        const ByteValues::Order wanted = order.value_or(ByteValues::Order::Little);
        const auto put = std::find_if(replacement.patterns.begin(), replacement.patterns.end(),
            [&](const Pattern& pattern) { return pattern.order.value_or(wanted) == wanted; });
        result.patterns.push_back(*put);
    }
    return result;
}

std::string replaced(const Pattern& replacement, std::string_view matched)
{
    std::string bytes(matched);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (replacement.isKnown(i))
            bytes[i] = replacement.bytes[i];
    return bytes;
}

} // namespace ByteSearch
