#pragma once

#include "support/Address.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class FileHandle;
struct evp_md_ctx_st;

// Checksums and digests of a run of bytes, fed piece by piece, so that a file is read once for all of them.
namespace Checksums {

enum class Algorithm {
    Crc32,
    Crc32c,
    Crc16Arc,
    Crc16Ibm3740,
    Crc16Xmodem,
    Crc64Xz,
    Adler32,
    Sum8,
    Sum16,
    Sum32,
    Md5,
    Sha1,
    Sha256,
    Sha512,
};

inline constexpr Algorithm AllAlgorithms[] = {
    Algorithm::Crc32,
    Algorithm::Crc32c,
    Algorithm::Crc16Arc,
    Algorithm::Crc16Ibm3740,
    Algorithm::Crc16Xmodem,
    Algorithm::Crc64Xz,
    Algorithm::Adler32,
    Algorithm::Sum8,
    Algorithm::Sum16,
    Algorithm::Sum32,
    Algorithm::Md5,
    Algorithm::Sha1,
    Algorithm::Sha256,
    Algorithm::Sha512,
};
inline constexpr std::size_t AlgorithmCount = std::size(AllAlgorithms);

// The name the CRC catalogue and the digests' standards give it.
[[nodiscard]] std::string_view name(Algorithm algorithm);
// A digest is a string of bytes in one order; the others are numbers, written in either byte order.
[[nodiscard]] bool isDigest(Algorithm algorithm);

// The value as it is usually written: upper-case hex digits, most significant first ("CBF43926").
[[nodiscard]] std::string valueText(std::string_view value);
// The value's bytes as hex pairs, least significant first when littleEndian ("26 39 F4 CB"); a digest's bytes in
// their own order either way.
[[nodiscard]] std::string bytesText(Algorithm algorithm, std::string_view value, bool littleEndian);

// The running state of the chosen algorithms.
class Sums {
public:
    explicit Sums(std::span<const Algorithm> algorithms = AllAlgorithms);
    Sums(Sums&&) noexcept;
    Sums& operator=(Sums&&) noexcept;
    ~Sums();

    void add(std::string_view bytes);
    // The value of the bytes added so far, most significant byte first (a digest as its standard writes it); empty
    // for an algorithm not chosen.
    [[nodiscard]] std::string value(Algorithm algorithm) const;

private:
    struct DigestFree {
        void operator()(evp_md_ctx_st* context) const;
    };
    using Digest = std::unique_ptr<evp_md_ctx_st, DigestFree>;

    void addPiece(const unsigned char* bytes, std::size_t count);

    std::array<bool, AlgorithmCount> m_on {};
    std::uint32_t m_crc32 = 0;
    std::uint32_t m_crc32c = 0xFFFFFFFF;
    std::uint16_t m_crc16Arc = 0;
    std::uint16_t m_crc16Ibm3740 = 0xFFFF;
    std::uint16_t m_crc16Xmodem = 0;
    std::uint64_t m_crc64Xz = 0;
    std::uint32_t m_adler32 = 1;
    std::uint64_t m_byteSum = 0;
    std::array<Digest, 4> m_digests;
};

// A file is read this much at a time.
inline constexpr std::size_t ReadChunk = std::size_t(4) << 20;

// Adds the bytes of range in file to sums, read once, one chunk at a time; goOn is told how many bytes are done after
// each chunk, and once it answers false nothing is returned. Raises EInOutError when a read fails; a file that ends
// before range does ends the sums there.
[[nodiscard]] std::optional<Sums> sumFile(FileHandle& file, AddressRange range, Sums sums,
    const std::function<bool(Address done)>& goOn, std::size_t chunk = ReadChunk);

} // namespace Checksums
