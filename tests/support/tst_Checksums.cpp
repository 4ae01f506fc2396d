#include "support/Checksums.h"

#include "support/FileHandle.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using Checksums::Algorithm;

Q_DECLARE_METATYPE(Checksums::Algorithm)

// Every algorithm against the CRC catalogue's check values and the digests' published vectors, and on longer input
// against routines written apart from the program's: the catalogue's bit-by-bit CRC model, Adler-32 and the sums
// by their definitions, the digests by Qt.
class tst_Checksums : public QObject {
    Q_OBJECT
private slots:
    void matchesThePublishedValues_data();
    void matchesThePublishedValues();
    void anyPiecesAndAnyFileChunksGiveTheWholeInputsValue_data();
    void anyPiecesAndAnyFileChunksGiveTheWholeInputsValue();
};

namespace {

// The catalogue's model of a CRC, one bit at a time; most significant byte first.
QByteArray crc(int width, quint64 polynomial, quint64 init, bool reflected, const QByteArray& bytes)
{
    const quint64 mask = width == 64 ? ~quint64(0) : (quint64(1) << width) - 1;
    quint64 reversed = 0;
    for (int bit = 0; bit < width; ++bit)
        reversed |= (polynomial >> bit & 1) << (width - 1 - bit);
    quint64 value = init;
    for (const char byte : bytes) {
        value ^= reflected ? quint64(quint8(byte)) : quint64(quint8(byte)) << (width - 8);
        for (int bit = 0; bit < 8; ++bit)
            value = reflected ? (value & 1 ? (value >> 1) ^ reversed : value >> 1)
                              : (value >> (width - 1) & 1 ? (value << 1) ^ polynomial : value << 1) & mask;
    }
    // The reflected models here end XORed with their start; the others end as they are.
    value ^= reflected ? init : 0;
    QByteArray out(width / 8, '\0');
    for (int i = width / 8 - 1; i >= 0; --i, value >>= 8)
        out[i] = char(value & 0xFF);
    return out;
}

// What the algorithm gives for bytes, most significant byte first, by an independent routine.
QByteArray expected(Algorithm algorithm, const QByteArray& bytes)
{
    quint64 sum = 0, a = 1, b = 0;
    for (const char byte : bytes) {
        sum += quint8(byte);
        a = (a + quint8(byte)) % 65521;
        b = (b + a) % 65521;
    }
    const auto digest
        = [&bytes](QCryptographicHash::Algorithm method) { return QCryptographicHash::hash(bytes, method); };
    switch (algorithm) {
    case Algorithm::Crc32:
        return crc(32, 0x04C11DB7, 0xFFFFFFFF, true, bytes);
    case Algorithm::Crc32c:
        return crc(32, 0x1EDC6F41, 0xFFFFFFFF, true, bytes);
    case Algorithm::Crc16Arc:
        return crc(16, 0x8005, 0, true, bytes);
    case Algorithm::Crc16Ibm3740:
        return crc(16, 0x1021, 0xFFFF, false, bytes);
    case Algorithm::Crc16Xmodem:
        return crc(16, 0x1021, 0, false, bytes);
    case Algorithm::Crc64Xz:
        return crc(64, 0x42F0E1EBA9EA3693, ~quint64(0), true, bytes);
    // A CRC model of no bytes is its start, written out: here the value worked out above.
    case Algorithm::Adler32:
        return crc(32, 0, b << 16 | a, false, {});
    case Algorithm::Sum8:
    case Algorithm::Sum16:
    case Algorithm::Sum32:
        return crc(algorithm == Algorithm::Sum8 ? 8 : (algorithm == Algorithm::Sum16 ? 16 : 32), 0, sum, false, {});
    case Algorithm::Md5:
        return digest(QCryptographicHash::Md5);
    case Algorithm::Sha1:
        return digest(QCryptographicHash::Sha1);
    case Algorithm::Sha256:
        return digest(QCryptographicHash::Sha256);
    case Algorithm::Sha512:
        return digest(QCryptographicHash::Sha512);
    }
    return {};
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, '\0');
    for (char& byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

} // namespace

void tst_Checksums::matchesThePublishedValues_data()
{
    QTest::addColumn<Algorithm>("algorithm");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("littleEndian"); // checked when given

    const QByteArray check("123456789");
    const auto row = [](const char* name, Algorithm algorithm, const QByteArray& input, const char* value,
                         const char* littleEndian = "") {
        QTest::newRow(name) << algorithm << input << QByteArray(value) << QByteArray(littleEndian);
    };
    row("CRC-32 check", Algorithm::Crc32, check, "CBF43926", "26 39 F4 CB");
    row("CRC-32C check", Algorithm::Crc32c, check, "E3069283");
    row("CRC-16/ARC check", Algorithm::Crc16Arc, check, "BB3D", "3D BB");
    row("CRC-16/IBM-3740 check", Algorithm::Crc16Ibm3740, check, "29B1");
    row("CRC-16/XMODEM check", Algorithm::Crc16Xmodem, check, "31C3");
    row("CRC-64/XZ check", Algorithm::Crc64Xz, check, "995DC9BBDF1939FA", "FA 39 19 DF BB C9 5D 99");
    row("Adler-32 check", Algorithm::Adler32, check, "091E01DE");
    // 0x31 + 0x32 + ... + 0x39 = 0x1DD, cut to each width, never byte-swapped.
    row("Sum-8 check", Algorithm::Sum8, check, "DD", "DD");
    row("Sum-16 check", Algorithm::Sum16, check, "01DD", "DD 01");
    row("Sum-32 check", Algorithm::Sum32, check, "000001DD", "DD 01 00 00");
    row("Sum-16 carries", Algorithm::Sum16, QByteArray("\xFF\x02", 2), "0101");
    row("CRC-32 empty", Algorithm::Crc32, {}, "00000000");
    row("CRC-16/IBM-3740 empty", Algorithm::Crc16Ibm3740, {}, "FFFF");
    row("CRC-64/XZ empty", Algorithm::Crc64Xz, {}, "0000000000000000");
    row("Adler-32 empty", Algorithm::Adler32, {}, "00000001");
    row("CRC-32 one byte", Algorithm::Crc32, "a", "E8B7BE43");
    row("Adler-32 one byte", Algorithm::Adler32, "a", "00620062");
    row("MD5 one byte", Algorithm::Md5, "a", "0CC175B9C0F1B6A831C399E269772661");
    row("MD5 empty", Algorithm::Md5, {}, "D41D8CD98F00B204E9800998ECF8427E",
        "D4 1D 8C D9 8F 00 B2 04 E9 80 09 98 EC F8 42 7E");
    row("MD5 abc", Algorithm::Md5, "abc", "900150983CD24FB0D6963F7D28E17F72");
    row("SHA-1 empty", Algorithm::Sha1, {}, "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
    row("SHA-1 abc", Algorithm::Sha1, "abc", "A9993E364706816ABA3E25717850C26C9CD0D89D");
    row("SHA-256 empty", Algorithm::Sha256, {}, "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
    row("SHA-256 abc", Algorithm::Sha256, "abc", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    row("SHA-512 empty", Algorithm::Sha512, {},
        "CF83E1357EEFB8BDF1542850D66D8007D620E4050B5715DC83F4A921D36CE9CE"
        "47D0D13C5D85F2B0FF8318D2877EEC2F63B931BD47417A81A538327AF927DA3E");
    row("SHA-512 abc", Algorithm::Sha512, "abc",
        "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A"
        "2192992A274FC1A836BA3C23A3FEEBBD454D4423643CE80E2A9AC94FA54CA49F");
}

void tst_Checksums::matchesThePublishedValues()
{
    QFETCH(Algorithm, algorithm);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, littleEndian);
    Checksums::Sums sums;
    sums.add(input.toStdString());
    const std::string got = sums.value(algorithm);
    QCOMPARE(QByteArray::fromStdString(Checksums::valueText(got)), value);
    // The big-endian bytes are the value as written; the independent routines agree on these inputs too.
    QCOMPARE(QByteArray::fromStdString(Checksums::bytesText(algorithm, got, false)).replace(' ', ""), value);
    QCOMPARE(QByteArray::fromStdString(got), expected(algorithm, input));
    if (!littleEndian.isEmpty())
        QCOMPARE(QByteArray::fromStdString(Checksums::bytesText(algorithm, got, true)), littleEndian);
}

void tst_Checksums::anyPiecesAndAnyFileChunksGiveTheWholeInputsValue_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<qsizetype>("chunk");
    QTest::addColumn<qsizetype>("beyond"); // the range read runs this far past the file's end

    QTest::newRow("one byte") << qsizetype(1) << qsizetype(1) << qsizetype(0);
    QTest::newRow("a step of eight and one, cut by another program") << qsizetype(9) << qsizetype(4) << qsizetype(7);
    QTest::newRow("a block and its shared byte, in odd chunks") << qsizetype(8193) << qsizetype(4097) << qsizetype(0);
    // Past the pieces the algorithms take in turn, which ends within a read chunk.
    QTest::newRow("across a piece") << qsizetype((256 << 10) + 13) << qsizetype(100003) << qsizetype(0);
    QTest::newRow("several read chunks") << qsizetype((3 << 20) + 5) << qsizetype(1 << 20) << qsizetype(0);
}

void tst_Checksums::anyPiecesAndAnyFileChunksGiveTheWholeInputsValue()
{
    QFETCH(qsizetype, size);
    QFETCH(qsizetype, chunk);
    QFETCH(qsizetype, beyond);
    const QByteArray head = randomBytes(7);
    const QByteArray bytes = randomBytes(size);

    // Added in pieces of random sizes.
    Checksums::Sums pieces;
    for (qsizetype at = 0, count = 0; at < size; at += count) {
        count = std::min(size - at, qsizetype(QRandomGenerator::global()->bounded(1, int(chunk) + 1)));
        pieces.add(std::string_view(bytes.constData() + at, std::size_t(count)));
    }
    // Read from a file, after bytes that do not count.
    QTemporaryDir dir;
    QFile out(dir.filePath(QStringLiteral("f")));
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(head + bytes) == head.size() + size);
    out.close();
    FileHandle::Opened opened = FileHandle::tryOpen(out.fileName().toStdString(), FileHandle::Mode::Read);
    QVERIFY(opened);
    std::vector<Address> told;
    const auto goOn = [&told](Address done) {
        told.push_back(done);
        return true;
    };
    const std::optional<Checksums::Sums> read = Checksums::sumFile(
        opened.file, { head.size(), head.size() + size + beyond }, Checksums::Sums(), goOn, std::size_t(chunk));
    QVERIFY(read);
    QCOMPARE(told.back(), Address(size));
    QCOMPARE(qsizetype(told.size()), (size + chunk - 1) / chunk);
    // Told to stop, it gives nothing.
    QVERIFY(!Checksums::sumFile(opened.file, { 0, size }, Checksums::Sums(), [](Address) { return false; }));

    for (const Algorithm algorithm : Checksums::AllAlgorithms) {
        const QByteArray want = expected(algorithm, bytes);
        QVERIFY2(QByteArray::fromStdString(pieces.value(algorithm)) == want, Checksums::name(algorithm).data());
        QVERIFY2(QByteArray::fromStdString(read->value(algorithm)) == want, Checksums::name(algorithm).data());
    }
}

QTEST_GUILESS_MAIN(tst_Checksums)
#include "tst_Checksums.moc"
