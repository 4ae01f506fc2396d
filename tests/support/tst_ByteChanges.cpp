#include "support/ByteChanges.h"

#include <QRandomGenerator>
#include <QTest>

// Change sets merged and inverted, against a file image in which each change is simply played.
class tst_ByteChanges : public QObject {
    Q_OBJECT
private slots:
    void aChangeFollowedByAnotherIsTheirNetChange_data();
    void aChangeFollowedByAnotherIsTheirNetChange();
    void randomChangesMergeAsTheyPlay();
};

namespace {

const QByteArray Original = "0123456789ABCDEF";

// The change that writes each "offset:bytes" of runs over image, its old bytes taken from image.
ByteChanges changesOver(const QByteArray& image, const QString& runs)
{
    ByteChanges changes;
    for (const QString& run : runs.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qsizetype colon = run.indexOf(QLatin1Char(':'));
        const qint64 offset = run.left(colon).toLongLong();
        const QByteArray bytes = run.mid(colon + 1).toLatin1();
        changes.add(offset, image.mid(offset, bytes.size()).toStdString(), bytes.toStdString());
    }
    return changes;
}

QByteArray played(QByteArray image, const ByteChanges& changes)
{
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const ByteChanges::Run run = changes[i];
        if (image.mid(run.offset, qsizetype(run.before.size())).toStdString() != run.before)
            return "<played over other bytes>";
        image.replace(run.offset, qsizetype(run.after.size()), QByteArray::fromStdString(std::string(run.after)));
    }
    return image;
}

// What is wrong with net as the change from original to final, if anything.
QString problemsOf(const ByteChanges& net, const QByteArray& original, const QByteArray& final)
{
    QByteArray covered(original.size(), '-');
    for (std::size_t i = 0; i < net.size(); ++i) {
        const ByteChanges::Run run = net[i];
        if (i > 0 && run.offset <= net[i - 1].end())
            return QStringLiteral("run %1 is not apart from the one before").arg(i);
        for (std::size_t b = 0; b < run.before.size(); ++b) {
            const qint64 at = run.offset + qint64(b);
            if (run.before[b] == run.after[b])
                return QStringLiteral("byte %1 ends as it began but stays").arg(at);
            if (run.before[b] != original[at] || run.after[b] != final[at])
                return QStringLiteral("byte %1 is not the one before and after").arg(at);
            covered[at] = '+';
        }
    }
    for (qsizetype at = 0; at < original.size(); ++at)
        if ((original[at] != final[at]) != (covered[at] == '+'))
            return QStringLiteral("byte %1 changed but is not among the runs").arg(at);
    if (played(final, net.inverse()) != original || net.inverse().inverse() != net)
        return QStringLiteral("the inverse does not take it back");
    return {};
}

} // namespace

void tst_ByteChanges::aChangeFollowedByAnotherIsTheirNetChange_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("then");
    QTest::addColumn<int>("runs");
    QTest::newRow("apart") << "1:ab"
                           << "8:cd" << 2;
    QTest::newRow("meeting: they join") << "2:ab"
                                        << "4:cd" << 1;
    QTest::newRow("overlapping") << "2:abcd"
                                 << "4:xyz" << 1;
    QTest::newRow("the later inside the earlier") << "2:abcdef"
                                                  << "4:x" << 1;
    QTest::newRow("the earlier inside the later") << "4:x"
                                                  << "2:abcdef" << 1;
    QTest::newRow("written back whole: nothing is left") << "3:ab"
                                                         << "3:34" << 0;
    QTest::newRow("written back in the middle: the run splits") << "2:abcd"
                                                                << "3:3" << 2;
    QTest::newRow("written back at an edge") << "2:abcd"
                                             << "5:5" << 1;
    QTest::newRow("the same bytes written: nothing changed") << "2:23"
                                                             << "" << 0;
    QTest::newRow("many runs, interleaved") << "0:a 3:b 6:c 9:d"
                                            << "2:x 4:y 8:zz 12:w" << 5;
    QTest::newRow("nothing first") << ""
                                   << "5:q" << 1;
    QTest::newRow("the ends of the file") << "0:A"
                                          << "15:Z" << 2;
}

void tst_ByteChanges::aChangeFollowedByAnotherIsTheirNetChange()
{
    QFETCH(QString, first);
    QFETCH(QString, then);
    QFETCH(int, runs);
    const ByteChanges a = changesOver(Original, first);
    const QByteArray between = played(Original, a);
    const ByteChanges b = changesOver(between, then);
    const ByteChanges net = a.followedBy(b);
    const QString problem = problemsOf(net, Original, played(between, b));
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(int(net.size()), runs);
}

void tst_ByteChanges::randomChangesMergeAsTheyPlay()
{
    // Chains of changes merged one after another, as a run's history of writes is.
    QRandomGenerator random(11);
    for (int round = 0; round < 300; ++round) {
        QByteArray image = Original;
        ByteChanges net;
        for (int step = 0; step < 4; ++step) {
            QString runs;
            for (qint64 at = random.bounded(4); at < Original.size(); at += 1 + random.bounded(6)) {
                const qint64 length = 1 + random.bounded(std::min<qint64>(3, Original.size() - at));
                QByteArray bytes(length, '\0');
                for (char& byte : bytes)
                    byte = "0123xyz"[random.bounded(7)];
                runs += QStringLiteral("%1:%2 ").arg(at).arg(QString::fromLatin1(bytes));
                at += length;
            }
            const ByteChanges change = changesOver(image, runs);
            image = played(image, change);
            net = net.followedBy(change);
        }
        const QString problem = problemsOf(net, Original, image);
        QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("round %1: ").arg(round) + problem));
    }
}

QTEST_GUILESS_MAIN(tst_ByteChanges)
#include "tst_ByteChanges.moc"
