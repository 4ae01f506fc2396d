#include "support/PatchFile.h"

#include "support/HexText.h"

#include <array>
#include <utility>

namespace PatchFile {

namespace {

const std::string_view Header = "quillmoor-patch 1";

std::string fileComment(std::string_view what, std::string_view file, std::optional<Address> size)
{
    std::string text = "# " + std::string(what) + ": " + std::string(file);
    if (size)
        text += ", size " + std::to_string(*size);
    return text + '\n';
}

void appendLine(std::string& text, Address offset, std::string_view before, std::string_view after)
{
    text += HexText::offsetOf(offset);
    text += ' ';
    text += HexText::pairsOf(before);
    text += ' ';
    text += HexText::pairsOf(after);
    text += '\n';
}

// Takes a patch's text line by line, however it arrives.
class LineReader {
public:
    // False once a line cannot be read.
    bool take(std::string_view line)
    {
        ++m_number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!m_headed) {
            if (line != Header)
                return fail(Error::NoHeader);
            m_headed = true;
            return true;
        }
        if (line.find_first_not_of(' ') == std::string_view::npos || line.front() == '#')
            return true;
        std::array<std::string_view, 3> words;
        std::size_t count = 0;
        for (std::size_t at = 0; at < line.size();) {
            const std::size_t from = line.find_first_not_of(' ', at);
            if (from == std::string_view::npos)
                break;
            const std::size_t to = std::min(line.find(' ', from), line.size());
            if (count == words.size())
                return fail(Error::NotThreeWords);
            words[count++] = line.substr(from, to - from);
            at = to;
        }
        if (count != words.size())
            return fail(Error::NotThreeWords);
        if (words[0].find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
            return fail(Error::OffsetNotHex);
        // Any number of digits: an offset no file reaches is past the end of every file.
        Address offset = 0;
        bool beyond = false;
        for (const char digit : words[0]) {
            beyond = beyond || offset > (ReachableSize - HexText::digitValue(digit)) / 16;
            if (!beyond)
                offset = offset * 16 + HexText::digitValue(digit);
        }
        const std::optional<std::string> before = HexText::bytesOf(words[1], HexText::Blanks::Refused);
        const std::optional<std::string> after = HexText::bytesOf(words[2], HexText::Blanks::Refused);
        if (!before || !after || before->empty() || after->empty())
            return fail(Error::BytesNotHexPairs);
        if (before->size() != after->size())
            return fail(Error::LengthsDiffer);
        if (beyond || offset > ReachableSize - Address(before->size()))
            return fail(Error::BeyondReach);
        ByteChanges& changes = m_parsed.changes;
        if (!changes.empty() && offset < changes.back().end())
            return fail(Error::OutOfOrder);
        changes.add(offset, *before, *after);
        return true;
    }

    [[nodiscard]] bool headed() const { return m_headed; }
    // The line being read can be no line of a patch: the header's, or one longer than any line of changes.
    Parsed refuse()
    {
        ++m_number;
        fail(m_headed ? Error::NotThreeWords : Error::NoHeader);
        return finish();
    }

    Parsed finish()
    {
        if (!m_headed && m_parsed.errorLine == 0)
            fail(Error::NoHeader, 1);
        return std::move(m_parsed);
    }

private:
    bool fail(Error error, int number = 0)
    {
        m_parsed.changes = {};
        m_parsed.errorLine = number > 0 ? number : m_number;
        m_parsed.error = error;
        return false;
    }

    Parsed m_parsed;
    int m_number = 0;
    bool m_headed = false;
};

} // namespace

std::string format(const ByteChanges& changes, std::string_view file, std::optional<Address> size)
{
    std::string text = std::string(Header) + '\n' + fileComment("file", file, size);
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const ByteChanges::Run run = changes[i];
        appendLine(text, run.offset, run.before, run.after);
    }
    return text;
}

FileCompare::Counts writeDifferences(
    const Compared& compared, const FileCompare::Pair& pair, const Write& write, const FileCompare::GoOn& goOn)
{
    std::string text = std::string(Header) + '\n' + fileComment("file", compared.ours, compared.ourSize)
        + fileComment("compared with", compared.theirs, compared.theirSize);
    if (compared.ourSize != compared.theirSize)
        text += "# the files differ in size: bytes from offset " + HexText::offsetOf(pair.common)
            + " on, past the shorter file's end, are not in this patch\n";
    // Written out a piece at a time, so that the text of many differences is never held whole.
    constexpr std::size_t Piece = std::size_t(1) << 20;
    FileCompare::Counts counts;
    Address lastEnd = -1;
    const bool whole = FileCompare::forEachRun(
        pair,
        [&](Address offset, std::string_view ours, std::string_view theirs) {
            if (offset != lastEnd)
                ++counts.runs;
            lastEnd = offset + Address(ours.size());
            counts.bytes += Address(ours.size());
            appendLine(text, offset, ours, theirs);
            if (text.size() >= Piece) {
                write(text);
                text.clear();
            }
        },
        goOn);
    if (whole)
        write(text);
    counts.stopped = !whole;
    return counts;
}

Parsed read(FileHandle& file)
{
    std::array<char, 64 * 1024> chunk;
    LineReader reader;
    // A line cut by the end of a chunk. Only what a line can hold is gathered: a file that does not start with the
    // header is refused at its first bytes, a comment is passed over as it goes by, and a line of changes may be as
    // long as a run of LongestRun bytes makes it.
    std::string partial;
    bool comment = false;
    constexpr std::size_t LongestRun = 2147483647;
    constexpr std::size_t Longest = 16 + 1 + 2 * 2 * LongestRun + 2;
    const auto tooLong
        = [&](std::size_t more) { return partial.size() + more > (reader.headed() ? Longest : Header.size() + 1); };
    Address at = 0;
    for (std::size_t got; (got = file.readRange(at, chunk.data(), chunk.size())) > 0; at += Address(got)) {
        std::string_view text(chunk.data(), got);
        for (std::size_t end; !text.empty(); text.remove_prefix(std::min(end + 1, text.size()))) {
            end = text.find('\n');
            const std::string_view piece = text.substr(0, end);
            if (partial.empty() && !comment)
                comment = reader.headed() && !piece.empty() && piece.front() == '#';
            if (!comment) {
                if (tooLong(piece.size()))
                    return reader.refuse();
                partial.append(piece);
            }
            if (end == std::string_view::npos)
                break;
            const bool taken = reader.take(comment ? std::string_view("#") : std::string_view(partial));
            partial.clear();
            comment = false;
            if (!taken)
                return reader.finish();
        }
    }
    if (!partial.empty())
        reader.take(partial);
    return reader.finish();
}

} // namespace PatchFile
