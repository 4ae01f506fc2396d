#include "support/ByteSearch.h"

#include "support/HexText.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace ByteSearch {

namespace {

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

// Reads the file piece by piece into one buffer and looks for the needle in what it holds.
class Scan {
public:
    Scan(FileHandle& file, std::string_view needle, const std::function<bool()>& goOn)
        : m_file(file)
        , m_needle(needle)
        , m_goOn(goOn)
        , m_buffer(new char[ChunkSize + needle.size()])
    {
    }

    [[nodiscard]] bool stopped() const { return m_stopped; }

    // Visits every match lying wholly inside [begin, end), in order, until onMatch answers false. A chunk's last
    // needle.size() - 1 bytes are carried on to the next one, so that a match across their boundary is found;
    // no match fits in them alone, so none is visited twice.
    void each(Address begin, Address end, const std::function<bool(Address)>& onMatch)
    {
        const std::size_t n = m_needle.size();
        std::size_t carried = 0;
        for (Address at = begin; end - at + Address(carried) >= Address(n);) {
            const auto wanted = static_cast<std::size_t>(std::min<Address>(ChunkSize, end - at));
            const std::size_t got = read(at, m_buffer.get() + carried, wanted);
            const char* const data = m_buffer.get();
            const std::size_t held = carried + got;
            for (const char* from = data;;) {
                const auto* hit = static_cast<const char*>(
                    ::memmem(from, static_cast<std::size_t>(data + held - from), m_needle.data(), n));
                if (!hit)
                    break;
                if (!onMatch(at - Address(carried) + (hit - data)))
                    return;
                from = hit + 1;
            }
            at += Address(got);
            if (!goOn() || got < wanted)
                return;
            carried = std::min(held, n - 1);
            std::memmove(m_buffer.get(), data + held - carried, carried);
        }
    }

    // The first match lying wholly inside [begin, end).
    std::optional<Address> first(Address begin, Address end)
    {
        std::optional<Address> found;
        each(begin, end, [&found](Address offset) {
            found = offset;
            return false;
        });
        return found;
    }

    // The last match lying wholly inside [begin, end), looking in windows from the end towards the start; each
    // window reaches needle.size() - 1 bytes into the one after it.
    std::optional<Address> last(Address begin, Address end)
    {
        const auto n = static_cast<Address>(m_needle.size());
        for (Address high = end; high - begin >= n;) {
            const Address low = std::max<Address>(begin, high - Address(ChunkSize));
            std::optional<Address> found;
            each(low, high, [&found](Address offset) {
                found = offset;
                return true;
            });
            if (found || low == begin || m_stopped)
                return found;
            high = low + n - 1;
        }
        return std::nullopt;
    }

private:
    std::size_t read(Address offset, char* into, std::size_t count) { return m_file.readRange(offset, into, count); }

    bool goOn()
    {
        m_stopped = !m_goOn();
        return !m_stopped;
    }

    FileHandle& m_file;
    std::string_view m_needle;
    const std::function<bool()>& m_goOn;
    std::unique_ptr<char[]> m_buffer;
    bool m_stopped = false;
};

} // namespace

std::optional<std::string> parseAnswer(std::string_view answer)
{
    while (!answer.empty() && answer.front() == ' ')
        answer.remove_prefix(1);
    while (!answer.empty() && answer.back() == ' ')
        answer.remove_suffix(1);
    if (answer.empty())
        return std::nullopt;
    if (answer.front() != '"')
        return HexText::bytesOf(answer, HexText::Blanks::BetweenBytes);
    if (answer.size() < 2 || answer.back() != '"')
        return std::nullopt;
    return quotedText(answer.substr(1, answer.size() - 2));
}

Result find(FileHandle& file, Address limit, std::string_view needle, Address from, bool forward,
    const std::function<bool()>& goOn)
{
    Result result;
    if (needle.empty())
        return result;
    const auto n = static_cast<Address>(needle.size());
    Scan scan(file, needle, goOn);
    if (forward) {
        result.found = scan.first(std::max<Address>(from, 0), limit);
        if (!result.found && !scan.stopped())
            result.found = scan.first(0, std::min(from + n - 1, limit));
    } else {
        result.found = scan.last(0, std::min(from + n, limit));
        if (!result.found && !scan.stopped())
            result.found = scan.last(std::max<Address>(from + 1, 0), limit);
    }
    result.stopped = scan.stopped();
    return result;
}

Matches findAll(FileHandle& file, Address limit, std::string_view needle, const std::function<bool()>& goOn)
{
    Matches matches;
    if (needle.empty())
        return matches;
    const auto n = static_cast<Address>(needle.size());
    Scan scan(file, needle, goOn);
    scan.each(0, limit, [&](Address offset) {
        if (matches.offsets.empty() || offset >= matches.offsets.back() + n)
            matches.offsets.push_back(offset);
        return true;
    });
    matches.stopped = scan.stopped();
    return matches;
}

} // namespace ByteSearch
