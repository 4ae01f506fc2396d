#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <set>

// The real program killed at instants spread over the write phase of an --apply, and the window's replace killed
// in its own: the next run finds the file whole, old or new, never half written, and leaves no journal.
class tst_KillDuringAWrite : public QObject {
    Q_OBJECT
private slots:
    void init();
    void aKilledApplyLeavesThePatchWholeOrNotBegun();
    void aKilledReplaceIsPutBackAtTheNextOpen();

private:
    // Starts program with arguments and, once the write phase has begun (its journal is there), kills it after
    // afterMs milliseconds, or lets it end when afterMs is negative. Gives how long the write phase lasted, in
    // milliseconds, or -1 when it ended before it could be killed.
    double killDuringWrite(const QString& program, const QStringList& arguments, double afterMs);
    // Runs program to its end; its status, and its standard error.
    std::pair<int, QString> run(const QString& program, const QStringList& arguments);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    QString m_journal;
};

void tst_KillDuringAWrite::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = m_dir->filePath(QStringLiteral("f.bin"));
    m_journal = m_dir->filePath(QStringLiteral(".f.bin.quillmoor-journal"));
}

double tst_KillDuringAWrite::killDuringWrite(const QString& program, const QStringList& arguments, double afterMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted())
        return -2;
    while (!QFile::exists(m_journal) && !process.waitForFinished(0))
        QThread::usleep(100);
    QElapsedTimer writing;
    writing.start();
    if (afterMs < 0) {
        process.waitForFinished(120000);
        return double(writing.nsecsElapsed()) / 1e6;
    }
    while (double(writing.nsecsElapsed()) / 1e6 < afterMs && !process.waitForFinished(0))
        QThread::usleep(100);
    const bool killed = process.state() == QProcess::Running;
    if (killed)
        ::kill(pid_t(process.processId()), SIGKILL);
    process.waitForFinished();
    return killed ? afterMs : -1;
}

std::pair<int, QString> tst_KillDuringAWrite::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(120000);
    return { process.exitCode(), QString::fromUtf8(process.readAllStandardError()) };
}

void tst_KillDuringAWrite::aKilledApplyLeavesThePatchWholeOrNotBegun()
{
    // The program users run: the sanitizers' build takes too long for 30 runs over a gigabyte.
    const QString program = QStringLiteral(QUILLMOOR_RELEASE_PROGRAM);
    if (!QFile::exists(program))
        QSKIP("no Release program: cmake --preset release && cmake --build build/release");
    QVERIFY(QFile(m_file).open(QIODevice::WriteOnly) && QFile::resize(m_file, qint64(1) << 30));
    // 100,000 lines of 4 bytes at random places of the sparse file, each writing 4 bytes over zeros.
    QRandomGenerator random(20261210);
    std::set<qint64> offsets;
    while (offsets.size() < 100000)
        offsets.insert(qint64(random.bounded(quint64(1) << 27)) * 8);
    QByteArray text = "quillmoor-patch 1\n";
    for (const qint64 offset : offsets)
        text += QByteArray::number(offset, 16).toUpper().rightJustified(8, '0') + " 00000000 "
            + QByteArray::number(0x10000000 + random.bounded(0x7FFFFFFF - 0x10000000), 16).toUpper() + '\n';
    const QString patch = m_dir->filePath(QStringLiteral("p.patch"));
    QFile patchFile(patch);
    QVERIFY(patchFile.open(QIODevice::WriteOnly) && patchFile.write(text) == text.size());
    patchFile.close();

    // A first run measures the write phase, from its journal made to the program's end.
    const double phase = killDuringWrite(program, { "--apply", patch, m_file }, -1);
    QCOMPARE(run(program, { "--revert", patch, m_file }).first, 0);
    const int kills = 30;
    int old = 0, whole = 0, putBack = 0;
    for (int i = 0; i < kills; ++i) {
        const double at = killDuringWrite(program, { "--apply", patch, m_file }, phase * i / kills);
        const auto [status, said] = run(program, { "--check", patch, m_file });
        QVERIFY2(status == 0, qPrintable(QStringLiteral("killed %1 ms into the write: %2").arg(at).arg(said)));
        QVERIFY(!QFile::exists(m_journal));
        putBack += said.contains(QStringLiteral("восстановлено"));
        if (said.contains(QStringLiteral("уже наложена"))) {
            ++whole;
            QCOMPARE(run(program, { "--revert", patch, m_file }).first, 0);
        } else {
            ++old;
        }
    }
    qInfo("%d kills over a write phase of %.0f ms: %d files found as before (%d put back), %d whole, 0 half", kills,
        phase, old, putBack, whole);
}

void tst_KillDuringAWrite::aKilledReplaceIsPutBackAtTheNextOpen()
{
    // 100,000 matches, one every kilobyte.
    QByteArray original(100000 * 1024, 'x');
    for (qsizetype at = 0; at < original.size(); at += 1024)
        original.replace(at, 4, "QMRP");
    QFile file(m_file);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(original) == original.size());
    file.close();
    const QString driver = QStringLiteral(REPLACE_DRIVER);
    const QStringList replace { m_file, QStringLiteral("\"QMRP\""), QStringLiteral("\"ABCD\"") };
    const double phase = killDuringWrite(driver, replace, -1);
    QVERIFY(!QFile::exists(m_journal));
    QByteArray replaced = original;
    replaced.replace("QMRP", "ABCD");
    QFile written(m_file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll() == replaced);
    written.close();
    // Once more from the start, killed halfway through its writes, and the file opened again.
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(original) == original.size());
    file.close();
    QVERIFY(killDuringWrite(driver, replace, phase / 2) >= 0);
    QProcess opened;
    opened.start(driver, { m_file });
    QVERIFY(opened.waitForFinished(120000) && opened.exitCode() == 0);
    qInfo(
        "a replace of 100,000 matches killed %.0f ms into a write phase of %.0f ms: %s bytes put back at the next open",
        phase / 2, phase, opened.readAllStandardOutput().trimmed().constData());
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray after = written.readAll();
    QVERIFY(after == original || after == replaced);
    QVERIFY(!QFile::exists(m_journal));
}

QTEST_GUILESS_MAIN(tst_KillDuringAWrite)
#include "tst_KillDuringAWrite.moc"
