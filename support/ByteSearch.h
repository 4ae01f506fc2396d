#pragma once

#include "support/Address.h"
#include "support/ByteValues.h"
#include "support/FileHandle.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Finding a run of bytes in a file, and reading what the user asked to find.
namespace ByteSearch {

// goOn is asked after every ChunkSize bytes read.
constexpr std::size_t ChunkSize = std::size_t(4) << 20;
// A search reads this much at a time and looks through it while it is still in the processor's cache.
constexpr std::size_t ReadSize = std::size_t(256) << 10;

// The bytes an answer of the find prompt stands for: a text between double quotes (a doubled quote inside
// standing for one), as its bytes, or pairs of hexadecimal digits, with or without blanks between the bytes.
// Blanks around the answer do not count. Nothing for anything else, the empty answer included.
[[nodiscard]] std::optional<std::string> parseAnswer(std::string_view answer);

// One way the bytes looked for can lie in a file. An unknown byte matches any byte.
struct Pattern {
    std::string bytes; // 0 where unknown
    std::string known; // '\xFF' where the byte is known, 0 where it is not
    // The order of a number's bytes, when the other order reads differently.
    std::optional<ByteValues::Order> order;

    [[nodiscard]] static Pattern exactly(std::string bytes);
    [[nodiscard]] bool isKnown(std::size_t i) const { return known[i] != 0; }
};

// What an answer asks for: one pattern, or a number's bytes in little-endian order and in big-endian order, all
// of one length, each with a known byte (a search finds nothing otherwise). A value whose bytes read the same both
// ways is one pattern.
struct Query {
    std::vector<Pattern> patterns;
    // The number's type, when the answer is a number.
    std::optional<ByteValues::Type> type;

    [[nodiscard]] std::size_t size() const { return patterns.empty() ? 0 : patterns.front().bytes.size(); }
    [[nodiscard]] bool empty() const { return size() == 0; }
};

struct Parsed {
    enum class Outcome {
        Understood,
        NotUnderstood, // no form of answer
        OnlyWildcards, // hexadecimal bytes, every one ??
        NoValue, // a type's name, then no value of that type
    } outcome
        = Outcome::NotUnderstood;
    Query query;
    // NoValue: the text after the type's name, trimmed.
    std::string value;
};
// Reads an answer of the find prompt: a parseAnswer() answer, where hexadecimal bytes may also be ?? (any byte),
// or the name of a type of the value window (not Текст), a blank and a value of the type, as the value window
// takes it (int32 1234, float64 -0.25, time32 2024-01-31 12:00:00). A name is matched whatever its case.
[[nodiscard]] Parsed parseQuery(std::string_view answer);

struct Result {
    // The offset of the match's first byte.
    std::optional<Address> found;
    // Which of the query's patterns matched there.
    std::size_t pattern = 0;
    // goOn asked to stop before the search was done.
    bool stopped = false;
};

// Looks for the query among the first limit bytes of file, whole matches only, every pattern in the one pass.
// Forward, the first match that starts at from or after it, else, wrapping once, the first one before from;
// backward, the last match that starts at from or before it, else the last one after it. Holes in the file are
// read as zeros but only where a match could lie. goOn is asked after every ChunkSize bytes read; once it answers
// false the search stops. Raises EInOutError when a read fails.
[[nodiscard]] Result find(
    FileHandle& file, Address limit, const Query& query, Address from, bool forward, const std::function<bool()>& goOn);

struct Matches {
    // The offsets of the matches' first bytes, in order, and which pattern each is.
    std::vector<Address> offsets;
    std::vector<std::uint8_t> patterns;
    // The bytes of every match, one after the other, when a pattern has unknown bytes; otherwise empty, as each
    // match holds its pattern's bytes.
    std::string bytes;
    bool stopped = false;
};

// Every match of the query among the first limit bytes of file that does not overlap the one before it, from the
// start. goOn as for find().
[[nodiscard]] Matches findAll(FileHandle& file, Address limit, const Query& query, const std::function<bool()>& goOn);

// What a replace writes over each match of a query.
struct Replacement {
    enum class Outcome {
        Understood,
        LengthDiffers, // bytes of another length
        UnknownWhereKnown, // ?? where the bytes looked for have a known byte
        NumberAndBytes, // a number by bytes, or bytes by a number
        WidthDiffers, // a number by a number of another width
        OrderUnknown, // a number whose bytes read the same both ways, by one whose bytes do not
    } outcome
        = Outcome::Understood;
    // For each pattern of the query, the bytes to write; unknown ones keep what the match holds.
    std::vector<Pattern> patterns;
};
[[nodiscard]] Replacement replacementFor(const Query& found, const Query& replacement);
// The bytes written over a match of a pattern that holds matched.
[[nodiscard]] std::string replaced(const Pattern& replacement, std::string_view matched);

} // namespace ByteSearch
