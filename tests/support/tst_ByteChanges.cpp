#include "support/ByteChanges.h"

#include <QRandomGenerator>
#include <QTest>

// Change sets merged and inverted, against a file image in which each change is simply played.
class tst_ByteChanges : public QObject {
    Q_OBJECT
private slots:
    void changesMergedOneAfterAnotherAreTheirNetChange_data();
    void changesMergedOneAfterAnotherAreTheirNetChange();
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

void tst_ByteChanges::changesMergedOneAfterAnotherAreTheirNetChange_data()
{
    // Changes as "offset:bytes" each, one after another: named cases, then random chains as a run's history of
    // writes makes them, in an alphabet small enough that runs meet, overlap and write bytes back.
    QTest::addColumn<QStringList>("changes");
    QTest::newRow("apart, then meeting: they join") << QStringList { "1:ab", "8:cd", "3:xy" };
    QTest::newRow("overlapping, one inside another") << QStringList { "2:abcd", "4:xyz", "3:q" };
    QTest::newRow("written back whole: nothing is left") << QStringList { "3:ab", "3:34" };
    QTest::newRow("written back in the middle: the run splits") << QStringList { "2:abcd", "3:3" };
    QTest::newRow("the same bytes written, and the file's ends") << QStringList { "2:23", "0:A 15:Z" };
    QRandomGenerator random(11);
    for (int round = 0; round < 300; ++round) {
        QStringList changes;
        for (int step = 0; step < 4; ++step) {
            QString runs;
            for (qint64 at = random.bounded(4); at < Original.size(); at += 1 + random.bounded(6)) {
                QByteArray bytes(1 + random.bounded(std::min<qint64>(3, Original.size() - at)), '\0');
                for (char& byte : bytes)
                    byte = "0123xyz"[random.bounded(7)];
                runs += QStringLiteral("%1:%2 ").arg(at).arg(QString::fromLatin1(bytes));
                at += bytes.size();
            }
            changes << runs;
        }
        QTest::addRow("random %d", round) << changes;
    }
}

void tst_ByteChanges::changesMergedOneAfterAnotherAreTheirNetChange()
{
    QFETCH(QStringList, changes);
    QByteArray image = Original;
    ByteChanges net;
    for (const QString& runs : changes) {
        const ByteChanges change = changesOver(image, runs);
        image = played(image, change);
        net = net.followedBy(change);
    }
    const QString problem = problemsOf(net, Original, image);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

QTEST_GUILESS_MAIN(tst_ByteChanges)
#include "tst_ByteChanges.moc"
