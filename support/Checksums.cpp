#include "support/Checksums.h"

#include "support/Exception.h"
#include "support/FileHandle.h"
#include "support/HexText.h"

#include <isa-l/crc.h>
#include <isa-l/crc64.h>
#include <isa-l/igzip_lib.h>
#include <openssl/evp.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace Checksums {

namespace {

constexpr std::size_t indexOf(Algorithm algorithm)
{
    return static_cast<std::size_t>(algorithm);
}

constexpr Algorithm DigestAlgorithms[] = { Algorithm::Md5, Algorithm::Sha1, Algorithm::Sha256, Algorithm::Sha512 };

const EVP_MD* digestOf(Algorithm algorithm)
{
    switch (algorithm) {
    case Algorithm::Md5:
        return EVP_md5();
    case Algorithm::Sha1:
        return EVP_sha1();
    case Algorithm::Sha256:
        return EVP_sha256();
    default:
        return EVP_sha512();
    }
}

// CRC-16s have no library of their own: a table-driven routine reading eight bytes a step ("slicing by 8"). Table k
// holds what a byte contributes when k zero bytes follow it; a step XORs the state into the first two bytes and
// looks up each of the eight in its own table.
class Crc16 {
public:
    constexpr Crc16(std::uint16_t polynomial, bool reflected)
        : m_reflected(reflected)
    {
        for (unsigned byte = 0; byte < 256; ++byte) {
            std::uint16_t crc = 0;
            if (reflected) {
                crc = static_cast<std::uint16_t>(byte);
                for (int bit = 0; bit < 8; ++bit)
                    crc = static_cast<std::uint16_t>(crc & 1 ? (crc >> 1) ^ polynomial : crc >> 1);
            } else {
                crc = static_cast<std::uint16_t>(byte << 8);
                for (int bit = 0; bit < 8; ++bit)
                    crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ polynomial : crc << 1);
            }
            m_tables[0][byte] = crc;
        }
        for (int k = 1; k < 8; ++k)
            for (unsigned byte = 0; byte < 256; ++byte)
                m_tables[k][byte] = next(m_tables[k - 1][byte]);
    }

    [[nodiscard]] std::uint16_t update(std::uint16_t crc, const unsigned char* bytes, std::size_t count) const
    {
        const auto& t = m_tables;
        while (count >= 8) {
            const unsigned b0 = bytes[0] ^ (m_reflected ? crc & 0xFF : crc >> 8);
            const unsigned b1 = bytes[1] ^ (m_reflected ? crc >> 8 : crc & 0xFF);
            crc = static_cast<std::uint16_t>(t[7][b0] ^ t[6][b1] ^ t[5][bytes[2]] ^ t[4][bytes[3]] ^ t[3][bytes[4]]
                ^ t[2][bytes[5]] ^ t[1][bytes[6]] ^ t[0][bytes[7]]);
            bytes += 8;
            count -= 8;
        }
        for (; count > 0; ++bytes, --count)
            crc = m_reflected ? static_cast<std::uint16_t>((crc >> 8) ^ t[0][(crc ^ *bytes) & 0xFF])
                              : static_cast<std::uint16_t>((crc << 8) ^ t[0][(crc >> 8) ^ *bytes]);
        return crc;
    }

private:
    // The state after one more zero byte.
    [[nodiscard]] constexpr std::uint16_t next(std::uint16_t crc) const
    {
        return m_reflected ? static_cast<std::uint16_t>((crc >> 8) ^ m_tables[0][crc & 0xFF])
                           : static_cast<std::uint16_t>((crc << 8) ^ m_tables[0][crc >> 8]);
    }

    bool m_reflected;
    std::uint16_t m_tables[8][256] {};
};

constexpr Crc16 Crc16Arc(0xA001, true);
constexpr Crc16 Crc16Ccitt(0x1021, false);

// The bytes the algorithms run over at a time, small enough to stay in the processor's cache for all of them.
constexpr std::size_t Piece = std::size_t(256) << 10;

std::string bigEndian(std::uint64_t value, int width)
{
    std::string bytes(static_cast<std::size_t>(width), '\0');
    for (int i = width - 1; i >= 0; --i, value >>= 8)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
    return bytes;
}

[[noreturn]] void digestFailed()
{
    throw Exception("OpenSSL: digest failed");
}

} // namespace

std::string_view name(Algorithm algorithm)
{
    switch (algorithm) {
    case Algorithm::Crc32:
        return "CRC-32 (ISO-HDLC)";
    case Algorithm::Crc32c:
        return "CRC-32C";
    case Algorithm::Crc16Arc:
        return "CRC-16/ARC";
    case Algorithm::Crc16Ibm3740:
        return "CRC-16/IBM-3740 (CCITT-FALSE)";
    case Algorithm::Crc16Xmodem:
        return "CRC-16/XMODEM";
    case Algorithm::Crc64Xz:
        return "CRC-64/XZ";
    case Algorithm::Adler32:
        return "Adler-32";
    case Algorithm::Sum8:
        return "Sum-8";
    case Algorithm::Sum16:
        return "Sum-16";
    case Algorithm::Sum32:
        return "Sum-32";
    case Algorithm::Md5:
        return "MD5";
    case Algorithm::Sha1:
        return "SHA-1";
    case Algorithm::Sha256:
        return "SHA-256";
    case Algorithm::Sha512:
        return "SHA-512";
    }
    return {};
}

bool isDigest(Algorithm algorithm)
{
    return algorithm >= Algorithm::Md5;
}

std::string valueText(std::string_view value)
{
    return HexText::pairsOf(value);
}

std::string bytesText(Algorithm algorithm, std::string_view value, bool littleEndian)
{
    if (!littleEndian || isDigest(algorithm))
        return HexText::pairsOf(value, ' ');
    return HexText::pairsOf(std::string(value.rbegin(), value.rend()), ' ');
}

void Sums::DigestFree::operator()(evp_md_ctx_st* context) const
{
    EVP_MD_CTX_free(context);
}

Sums::Sums(std::span<const Algorithm> algorithms)
{
    for (const Algorithm algorithm : algorithms)
        m_on[indexOf(algorithm)] = true;
    for (std::size_t i = 0; i < std::size(DigestAlgorithms); ++i) {
        const Algorithm algorithm = DigestAlgorithms[i];
        if (!m_on[indexOf(algorithm)])
            continue;
        m_digests[i].reset(EVP_MD_CTX_new());
        if (!m_digests[i] || EVP_DigestInit_ex(m_digests[i].get(), digestOf(algorithm), nullptr) != 1)
            digestFailed();
    }
}

Sums::Sums(Sums&&) noexcept = default;
Sums& Sums::operator=(Sums&&) noexcept = default;
Sums::~Sums() = default;

void Sums::add(std::string_view bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t done = 0; done < bytes.size(); done += Piece)
        addPiece(data + done, std::min(Piece, bytes.size() - done));
}

void Sums::addPiece(const unsigned char* bytes, std::size_t count)
{
    const auto on = [this](Algorithm algorithm) { return m_on[indexOf(algorithm)]; };
    if (on(Algorithm::Crc32))
        m_crc32 = crc32_gzip_refl(m_crc32, bytes, count);
    if (on(Algorithm::Crc32c))
        m_crc32c = crc32_iscsi(const_cast<unsigned char*>(bytes), static_cast<int>(count), m_crc32c);
    if (on(Algorithm::Crc16Arc))
        m_crc16Arc = Crc16Arc.update(m_crc16Arc, bytes, count);
    if (on(Algorithm::Crc16Ibm3740))
        m_crc16Ibm3740 = Crc16Ccitt.update(m_crc16Ibm3740, bytes, count);
    if (on(Algorithm::Crc16Xmodem))
        m_crc16Xmodem = Crc16Ccitt.update(m_crc16Xmodem, bytes, count);
    if (on(Algorithm::Crc64Xz))
        m_crc64Xz = crc64_ecma_refl(m_crc64Xz, bytes, count);
    if (on(Algorithm::Adler32))
        m_adler32 = isal_adler32(m_adler32, bytes, count);
    if (on(Algorithm::Sum8) || on(Algorithm::Sum16) || on(Algorithm::Sum32)) {
        // A piece's sum fits in 32 bits, which lets the compiler add many bytes at once.
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < count; ++i)
            sum += bytes[i];
        m_byteSum += sum;
    }
    for (const Digest& digest : m_digests)
        if (digest && EVP_DigestUpdate(digest.get(), bytes, count) != 1)
            digestFailed();
}

std::string Sums::value(Algorithm algorithm) const
{
    if (!m_on[indexOf(algorithm)])
        return {};
    switch (algorithm) {
    case Algorithm::Crc32:
        return bigEndian(m_crc32, 4);
    case Algorithm::Crc32c:
        return bigEndian(~m_crc32c, 4);
    case Algorithm::Crc16Arc:
        return bigEndian(m_crc16Arc, 2);
    case Algorithm::Crc16Ibm3740:
        return bigEndian(m_crc16Ibm3740, 2);
    case Algorithm::Crc16Xmodem:
        return bigEndian(m_crc16Xmodem, 2);
    case Algorithm::Crc64Xz:
        return bigEndian(m_crc64Xz, 8);
    case Algorithm::Adler32:
        return bigEndian(m_adler32, 4);
    case Algorithm::Sum8:
        return bigEndian(m_byteSum, 1);
    case Algorithm::Sum16:
        return bigEndian(m_byteSum, 2);
    case Algorithm::Sum32:
        return bigEndian(m_byteSum, 4);
    default:
        break;
    }
    const auto at = std::find(std::begin(DigestAlgorithms), std::end(DigestAlgorithms), algorithm);
    const Digest& running = m_digests[static_cast<std::size_t>(at - std::begin(DigestAlgorithms))];
    // Finishing spends a context: a copy is finished, so that more bytes may still be added.
    const Digest copy(EVP_MD_CTX_new());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!copy || EVP_MD_CTX_copy_ex(copy.get(), running.get()) != 1
        || EVP_DigestFinal_ex(copy.get(), digest, &length) != 1)
        digestFailed();
    return std::string(reinterpret_cast<const char*>(digest), length);
}

std::optional<Sums> sumFile(
    FileHandle& file, AddressRange range, Sums sums, const std::function<bool(Address done)>& goOn, std::size_t chunk)
{
    const std::unique_ptr<char[]> buffer(new char[chunk]);
    for (Address at = range.begin; at < range.end;) {
        const auto wanted = static_cast<std::size_t>(std::min<Address>(Address(chunk), range.end - at));
        const std::size_t got = file.readRange(at, buffer.get(), wanted);
        sums.add({ buffer.get(), got });
        at += Address(got);
        if (!goOn(at - range.begin))
            return std::nullopt;
        if (got < wanted)
            break;
    }
    return sums;
}

} // namespace Checksums
