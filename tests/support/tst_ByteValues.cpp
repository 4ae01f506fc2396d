#include "support/ByteValues.h"

#include "support/Cp1251.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <limits>

using ByteValues::Order;
using ByteValues::Type;

Q_DECLARE_METATYPE(ByteValues::Type)
Q_DECLARE_METATYPE(ByteValues::Order)

// Values read from bytes and typed back. The bytes are laid out by Qt's endian functions and the dates come from
// QDateTime, so the expectations never borrow the code's own arithmetic.
class tst_ByteValues : public QObject {
    Q_OBJECT
private slots:
    void readsAndWritesTheValueAtThePosition_data();
    void readsAndWritesTheValueAtThePosition();
    void agreesWithQtOnRandomTimesAndFloats();
};

namespace {

const QString Dash = QStringLiteral("—");

// The low width bytes of pattern, least significant first.
QByteArray little(quint64 pattern, int width)
{
    QByteArray bytes(8, '\0');
    qToLittleEndian(pattern, bytes.data());
    return bytes.left(width);
}

QByteArray reversed(QByteArray bytes)
{
    std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

qint64 secondsAt(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC).toSecsSinceEpoch();
}

QString utc(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + " UTC";
}

// How a row is checked: the bytes shown as the text, the text typed back to the bytes, or both.
enum Way { Both, Shown, Typed };

// bytes: little-endian; null for a text that is refused.
void row(const QByteArray& name, Type type, const QByteArray& bytes, const QString& text, Way way = Both)
{
    QTest::newRow(name.constData()) << type << bytes << text << int(way);
}

template <typename T> void limits(Type type, const char* belowMin, const char* aboveMax)
{
    const QByteArray name = QByteArray::fromStdString(ByteValues::name(type));
    for (const T value : { std::numeric_limits<T>::min(), std::numeric_limits<T>::max() })
        row(name + ' ' + QByteArray::number(value), type, little(quint64(value), sizeof(T)), QString::number(value));
    row(name + " below its range", type, {}, belowMin, Typed);
    row(name + " above its range", type, {}, aboveMax, Typed);
}

} // namespace

void tst_ByteValues::readsAndWritesTheValueAtThePosition_data()
{
    QTest::addColumn<Type>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("way");
    limits<qint8>(Type::Int8, "-129", "128");
    limits<quint8>(Type::UInt8, "-1", "256");
    limits<qint16>(Type::Int16, "-32769", "32768");
    limits<quint16>(Type::UInt16, "-1", "65536");
    limits<qint32>(Type::Int32, "-2147483649", "2147483648");
    limits<quint32>(Type::UInt32, "-1", "4294967296");
    limits<qint64>(Type::Int64, "-9223372036854775809", "9223372036854775808");
    limits<quint64>(Type::UInt64, "-1", "18446744073709551616");
    row("int64 past 32 bits", Type::Int64, little(0xFFFFFFFF00000000, 8), "-4294967296");
    row("blanks and a plus", Type::Int32, little(42, 4), "  +42 ", Typed);
    row("unsigned -0", Type::UInt16, little(0, 2), "-0", Typed);
    row("hex pattern of a negative", Type::Int8, "\xFF", "0xFF", Typed);
    row("float32 1e20", Type::Float32, little(std::bit_cast<quint32>(1e20f), 4), "1e+20");
    row("float32 0.1", Type::Float32, little(std::bit_cast<quint32>(0.1f), 4), "0.1");
    row("float32 rounded", Type::Float32, little(0x40490FDB, 4), "3.14159265358979", Typed);
    row("float32 -0", Type::Float32, little(0x80000000, 4), "-0");
    row("float32 -inf", Type::Float32, little(0xFF800000, 4), "-inf");
    row("float32 +INF", Type::Float32, little(0x7F800000, 4), "+INF", Typed);
    row("float32 negative NaN with a payload", Type::Float32, little(0xFFC00001, 4), "nan", Shown);
    row("float32 NaN typed", Type::Float32, little(0x7FC00000, 4), "NaN", Typed);
    row("float64 1e39", Type::Float64, little(std::bit_cast<quint64>(1e39), 8), "1e+39");
    row("float64 cut short", Type::Float64, QByteArray(7, '\x01'), Dash, Shown);

    const qint64 last = secondsAt(9999, 12, 31, 23, 59, 59), fileTimeEpoch = secondsAt(1601, 1, 1);
    row("time32 min", Type::Time32, little(quint32(INT32_MIN), 4), "1901-12-13 20:45:52 UTC");
    row("time32 max, no zone typed", Type::Time32, little(INT32_MAX, 4), "2038-01-19 03:14:07", Typed);
    row("time64 year 1", Type::Time64, little(secondsAt(1, 1, 1), 8), "0001-01-01 00:00:00 UTC");
    row("time64 before year 1", Type::Time64, little(secondsAt(1, 1, 1) - 1, 8), Dash, Shown);
    row("time64 year 10000", Type::Time64, little(last + 1, 8), Dash, Shown);
    row("time64 the leap day of a fourth century", Type::Time64, little(secondsAt(2000, 2, 29), 8),
        "2000-02-29 00:00:00 UTC");
    row("FILETIME 0", Type::FileTime, little(0, 8), "1601-01-01 00:00:00 UTC");
    row("FILETIME a tick short of a second", Type::FileTime, little(9'999'999, 8), "1601-01-01 00:00:00 UTC", Shown);
    row("FILETIME last tick of 9999", Type::FileTime, little((last - fileTimeEpoch) * 10'000'000 + 9'999'999, 8),
        utc(last), Shown);
    row("FILETIME all ones", Type::FileTime, little(~quint64(0), 8), Dash, Shown);
    row("DOS first day", Type::DosDateTime, little(0x00210000, 4), "1980-01-01 00:00:00");
    row("DOS leap day", Type::DosDateTime, little(0x585DBF7D, 4), "2024-02-29 23:59:58");
    row("DOS last even second", Type::DosDateTime, little(0xFF9FBF7D, 4), "2107-12-31 23:59:58");
    row("DOS leap day of a common year", Type::DosDateTime, little(0x565DBF7D, 4), Dash, Shown);
    row("DOS 60 seconds", Type::DosDateTime, little(0x0021001E, 4), Dash, Shown);
    row("binary", Type::Binary, "M", "01001101");
    row("binary typed with blanks", Type::Binary, "M", " 01001101 ", Typed);
    row("text as typed", Type::Text, " ab ", " ab ");
    row("Cyrillic text", Type::Text, "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет");
    row("text up to a zero", Type::Text, QByteArray("AB\0CD", 5), "AB", Shown);
    row("text of letters and control bytes", Type::Text, "\xCF\xF0\xE8\x01\x1F\x7F\x98z", "При....z", Shown);
    row("text longer than 32 bytes", Type::Text, QByteArray(40, 'x'), QString(32, 'x'), Shown);
    row("no text past the end", Type::Text, "", Dash, Shown);

    const std::pair<Type, const char*> refused[]
        = { { Type::UInt8, "0x100" }, { Type::Int32, "" }, { Type::Int32, "+-1" }, { Type::Int32, "12a" },
              { Type::Int32, "1.0" }, { Type::Float32, "1e39" }, { Type::Float32, "1e-50" }, { Type::Float64, "-nan" },
              { Type::Float64, "infinity" }, { Type::Float64, "1e" }, { Type::Time32, "1901-12-13 20:45:51" },
              { Type::FileTime, "1600-12-31 23:59:59" }, { Type::Time64, "2023-02-29 00:00:00" },
              { Type::Time64, "2024-01-01 24:00:00" }, { Type::Time64, "2024-1-01 00:00:00" },
              { Type::Time64, "2024-01-01 00:00:00 GMT" }, { Type::DosDateTime, "2024-02-29 23:59:59" },
              { Type::DosDateTime, "1979-12-31 23:59:58" }, { Type::DosDateTime, "2108-01-01 00:00:00" },
              { Type::DosDateTime, "1980-01-01 00:00:00 UTC" }, { Type::Binary, "101010101" }, { Type::Text, "" } };
    for (const auto& [type, text] : refused)
        row(QByteArray::fromStdString(ByteValues::name(type)) + " '" + text + "'", type, {}, text, Typed);
}

// In both byte orders: the big-endian reading of the reversed bytes says the same. A type of one column has a blank
// big-endian cell.
void tst_ByteValues::readsAndWritesTheValueAtThePosition()
{
    QFETCH(Type, type);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(int, way);
    for (const Order order : { Order::Little, Order::Big }) {
        const bool big = order == Order::Big;
        if (big && !ByteValues::hasOrder(type)) {
            QVERIFY(ByteValues::shown(type, order, bytes.toStdString()).empty());
            continue;
        }
        const QByteArray there = big ? reversed(bytes) : bytes;
        if (way != Typed)
            QCOMPARE(Cp1251::toQString(ByteValues::shown(type, order, there.toStdString())), text);
        if (way == Shown)
            continue;
        const std::optional<std::string> typed = ByteValues::bytesOf(type, order, Cp1251::fromQString(text));
        QCOMPARE(typed.has_value(), !bytes.isNull());
        if (typed)
            QCOMPARE(QByteArray::fromStdString(*typed), there);
    }
}

// Every day of the calendar's ten thousand years is as likely, and every float bit pattern.
void tst_ByteValues::agreesWithQtOnRandomTimesAndFloats()
{
    QRandomGenerator random(1251);
    for (int i = 0; i < 20000; ++i) {
        const qint64 seconds = random.bounded(secondsAt(1, 1, 1), secondsAt(9999, 12, 31, 23, 59, 59) + 1);
        const std::string time = little(seconds, 8).toStdString();
        const std::string text = ByteValues::shown(Type::Time64, Order::Little, time);
        QCOMPARE(QString::fromStdString(text), utc(seconds));
        QCOMPARE(ByteValues::bytesOf(Type::Time64, Order::Little, text), std::optional(time));

        const quint64 bits = random.generate64();
        for (const Type type : { Type::Float32, Type::Float64 }) {
            const std::string bytes = little(bits, ByteValues::width(type)).toStdString();
            const std::string number = ByteValues::shown(type, Order::Little, bytes);
            if (number == "nan")
                continue;
            QCOMPARE(ByteValues::bytesOf(type, Order::Little, number), std::optional(bytes));
            // And as Qt reads it.
            if (type == Type::Float64)
                QCOMPARE(std::bit_cast<quint64>(QString::fromStdString(number).toDouble()), bits);
        }
    }
}

QTEST_GUILESS_MAIN(tst_ByteValues)
#include "tst_ByteValues.moc"
