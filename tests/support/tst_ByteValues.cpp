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
    void showsTheValueAtThePosition_data();
    void showsTheValueAtThePosition();
    void readsTypedValuesInBothOrdersAndShowsThemBack_data();
    void readsTypedValuesInBothOrdersAndShowsThemBack();
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

void shows(
    const QByteArray& name, Type type, const QByteArray& bytes, const QString& expected, Order order = Order::Little)
{
    QTest::newRow(name.constData()) << type << order << bytes << expected;
}

// Also as the big-endian reading of the reversed bytes, which must say the same.
void showsBoth(const QByteArray& name, Type type, quint64 pattern, const QString& expected)
{
    shows(name + ", little", type, little(pattern, ByteValues::width(type)), expected);
    shows(name + ", big", type, reversed(little(pattern, ByteValues::width(type))), expected, Order::Big);
}

// bytes: little-endian, null for no value. shownBack: what they are shown as, when that is not the text itself.
void reads(const QByteArray& name, Type type, const QString& text, const QByteArray& bytes, const QString& back = {})
{
    const QString shownBack = !back.isNull() ? back : type == Type::Text ? text : text.trimmed();
    QTest::newRow(name.constData()) << type << text << bytes << shownBack;
}

template <typename T> void readsLimits(Type type, const char* belowMin, const char* aboveMax)
{
    const QByteArray name = QByteArray::fromStdString(ByteValues::name(type));
    for (const T value : { std::numeric_limits<T>::min(), std::numeric_limits<T>::max() })
        reads(name + ' ' + QByteArray::number(value), type, QString::number(value), little(quint64(value), sizeof(T)));
    reads(name + " below its range", type, belowMin, {});
    reads(name + " above its range", type, aboveMax, {});
}

} // namespace

void tst_ByteValues::showsTheValueAtThePosition_data()
{
    QTest::addColumn<Type>("type");
    QTest::addColumn<Order>("order");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    showsBoth("int32 all ones", Type::Int32, ~quint64(0), "-1");
    showsBoth("int64 past 32 bits", Type::Int64, 0xFFFFFFFF00000000, "-4294967296");
    showsBoth("uint16 0x0102", Type::UInt16, 0x0102, "258");
    shows("only the width is read", Type::Int16, "\x01\x02\x03", "513");
    showsBoth("float32 1e20", Type::Float32, std::bit_cast<quint32>(1e20f), "1e+20");
    showsBoth("float32 -0", Type::Float32, 0x80000000, "-0");
    showsBoth("float32 -inf", Type::Float32, 0xFF800000, "-inf");
    showsBoth("float32 negative NaN with a payload", Type::Float32, 0xFFC00001, "nan");

    const qint64 last = secondsAt(9999, 12, 31, 23, 59, 59), fileTimeEpoch = secondsAt(1601, 1, 1);
    showsBoth("time32 min", Type::Time32, quint32(INT32_MIN), utc(INT32_MIN));
    showsBoth("time64 before year 1", Type::Time64, secondsAt(1, 1, 1) - 1, Dash);
    showsBoth("time64 year 10000", Type::Time64, last + 1, Dash);
    showsBoth("FILETIME a tick short of a second", Type::FileTime, 9'999'999, "1601-01-01 00:00:00 UTC");
    showsBoth("FILETIME last tick of 9999", Type::FileTime, (last - fileTimeEpoch) * 10'000'000 + 9'999'999, utc(last));
    showsBoth("FILETIME all ones", Type::FileTime, ~quint64(0), Dash);
    shows("DOS leap day", Type::DosDateTime, little(0x585DBF7D, 4), "2024-02-29 23:59:58");
    shows("DOS last day", Type::DosDateTime, little(0xFF9F0000, 4), "2107-12-31 00:00:00");
    shows("DOS leap day of a common year", Type::DosDateTime, little(0x565DBF7D, 4), Dash);
    shows("DOS 60 seconds", Type::DosDateTime, little(0x0021001E, 4), Dash);
    shows("DOS has no big column", Type::DosDateTime, little(0x00210000, 4), "", Order::Big);
    shows("binary", Type::Binary, "M", "01001101");
    shows("text up to a zero", Type::Text, QByteArray("AB\0CD", 5), "AB");
    shows("text of letters and control bytes", Type::Text, "\xCF\xF0\xE8\x01\x1F\x7F\x98z", "При....z");
    shows("text longer than 32 bytes", Type::Text, QByteArray(40, 'x'), QString(32, 'x'));
    shows("no text past the end", Type::Text, "", Dash);
    shows("float64 cut short", Type::Float64, QByteArray(7, '\x01'), Dash);
}

void tst_ByteValues::showsTheValueAtThePosition()
{
    QFETCH(Type, type);
    QFETCH(Order, order);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QCOMPARE(Cp1251::toQString(ByteValues::shown(type, order, bytes.toStdString())), expected);
}

void tst_ByteValues::readsTypedValuesInBothOrdersAndShowsThemBack_data()
{
    QTest::addColumn<Type>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shownBack");
    readsLimits<qint8>(Type::Int8, "-129", "128");
    readsLimits<quint8>(Type::UInt8, "-1", "256");
    readsLimits<qint16>(Type::Int16, "-32769", "32768");
    readsLimits<quint16>(Type::UInt16, "-1", "65536");
    readsLimits<qint32>(Type::Int32, "-2147483649", "2147483648");
    readsLimits<quint32>(Type::UInt32, "-1", "4294967296");
    readsLimits<qint64>(Type::Int64, "-9223372036854775809", "9223372036854775808");
    readsLimits<quint64>(Type::UInt64, "-1", "18446744073709551616");
    reads("blanks and a plus", Type::Int32, "  +42 ", little(42, 4), "42");
    reads("unsigned -0", Type::UInt16, "-0", little(0, 2), "0");
    reads("hex pattern of a negative", Type::Int8, "0xFF", "\xFF", "-1");
    reads("float32 0.1", Type::Float32, "0.1", little(std::bit_cast<quint32>(0.1f), 4));
    reads("float32 rounded", Type::Float32, "3.14159265358979", little(0x40490FDB, 4), "3.1415927");
    reads("float32 -0", Type::Float32, " -0 ", little(0x80000000, 4));
    reads("float32 NaN", Type::Float32, "NaN", little(0x7FC00000, 4), "nan");
    reads("float32 +INF", Type::Float32, "+INF", little(0x7F800000, 4), "inf");
    reads("float64 1e39", Type::Float64, "1e39", little(std::bit_cast<quint64>(1e39), 8), "1e+39");

    const auto time = [](const char* name, Type type, const QString& text, qint64 seconds) {
        reads(name, type, text, little(seconds, ByteValues::width(type)), text.endsWith(" UTC") ? text : text + " UTC");
    };
    time("time32 min", Type::Time32, "1901-12-13 20:45:52 UTC", INT32_MIN);
    time("time32 max", Type::Time32, "2038-01-19 03:14:07", INT32_MAX);
    time("time64 year 1", Type::Time64, "0001-01-01 00:00:00", secondsAt(1, 1, 1));
    time("FILETIME 0", Type::FileTime, "1601-01-01 00:00:00 UTC", 0);
    time("FILETIME end of 9999", Type::FileTime, "9999-12-31 23:59:59",
        (secondsAt(9999, 12, 31, 23, 59, 59) - secondsAt(1601, 1, 1)) * 10'000'000);
    reads("DOS first day", Type::DosDateTime, "1980-01-01 00:00:00", little(0x00210000, 4));
    reads("DOS last even second", Type::DosDateTime, "2107-12-31 23:59:58", little(0xFF9FBF7D, 4));
    reads("binary", Type::Binary, " 01001101 ", "M");
    reads("text as typed", Type::Text, " ab ", " ab ");
    reads("Cyrillic text", Type::Text, "Привет", "\xCF\xF0\xE8\xE2\xE5\xF2");

    const std::pair<Type, const char*> refused[] = { { Type::UInt8, "0x100" }, { Type::Int32, "" },
        { Type::Int32, "+-1" }, { Type::Int32, "12a" }, { Type::Int32, "1.0" }, { Type::Float32, "1e39" },
        { Type::Float32, "1e-50" }, { Type::Float64, "-nan" }, { Type::Float64, "infinity" }, { Type::Float64, "1e" },
        { Type::Time32, "1901-12-13 20:45:51" }, { Type::FileTime, "1600-12-31 23:59:59" },
        { Type::Time64, "2023-02-29 00:00:00" }, { Type::Time64, "2024-01-01 24:00:00" },
        { Type::Time64, "2024-1-01 00:00:00" }, { Type::Time64, "2024-01-01 00:00:00 GMT" },
        { Type::DosDateTime, "2024-02-29 23:59:59" }, { Type::DosDateTime, "1979-12-31 23:59:58" },
        { Type::DosDateTime, "1980-01-01 00:00:00 UTC" }, { Type::Binary, "101010101" }, { Type::Text, "" } };
    for (const auto& [type, text] : refused)
        reads(QByteArray::fromStdString(ByteValues::name(type)) + " '" + text + "'", type, text, {});
}

void tst_ByteValues::readsTypedValuesInBothOrdersAndShowsThemBack()
{
    QFETCH(Type, type);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shownBack);
    for (const Order order : { Order::Little, Order::Big }) {
        const std::optional<std::string> read = ByteValues::bytesOf(type, order, Cp1251::fromQString(text));
        QCOMPARE(read.has_value(), !bytes.isNull());
        if (!read)
            return;
        const bool big = order == Order::Big && ByteValues::hasOrder(type);
        QCOMPARE(QByteArray::fromStdString(*read), big ? reversed(bytes) : bytes);
        QCOMPARE(Cp1251::toQString(ByteValues::shown(type, big ? order : Order::Little, *read)), shownBack);
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
