#include "support/FileFaults.h"
#include "support/PatchFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// A patch applied, checked and taken back over a small file, and patches that cannot be read.
class tst_PatchFile : public QObject {
    Q_OBJECT

private slots:
    void answersAndLeavesTheFile_data();
    void answersAndLeavesTheFile();
};

namespace {
const QByteArray Original = "0123456789ABCDEF";
const QByteArray Patched = "0xy3456789ZBCDEF";
const QByteArray Patch = "quillmoor-patch 1\n# file: /x, size 16\n00000001 3132 7879\n0000000A 41 5A\n";
} // namespace

void tst_PatchFile::answersAndLeavesTheFile_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QByteArray>("patch");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("after");
    const int apply = int(PatchFile::Action::Apply), check = int(PatchFile::Action::Check),
              revert = int(PatchFile::Action::Revert);
    QTest::newRow("applied") << apply << Patch << Original << 0 << Patched;
    // The patch is read 64 KiB at a time: a line cut by the end of a piece must read as one.
    const QByteArray comment = "# " + QByteArray(64 * 1024 - 38 - 3 - 10, 'x') + '\n';
    QTest::newRow("applied, its first line across two pieces read")
        << apply << Patch.left(38) + comment + Patch.mid(38) << Original << 0 << Patched;
    QTest::newRow("already applied: nothing written") << apply << Patch << Patched << 0 << Patched;
    QTest::newRow("conflict at the first line")
        << apply << Patch << QByteArray("0q23456789ABCDEF") << 1 << QByteArray("0q23456789ABCDEF");
    QTest::newRow("conflict at the last line, after lines that hold")
        << apply << Patch << QByteArray("0123456789qBCDEF") << 1 << QByteArray("0123456789qBCDEF");
    QTest::newRow("half applied is a conflict")
        << apply << Patch << QByteArray("0xy3456789ABCDEF") << 1 << QByteArray("0xy3456789ABCDEF");
    QTest::newRow("taken back") << revert << Patch << Patched << 0 << Original;
    QTest::newRow("check: applies") << check << Patch << Original << 0 << Original;
    QTest::newRow("check: applied") << check << Patch << Patched << 0 << Patched;
    QTest::newRow("check: conflicts") << check << Patch << QByteArray("0q23456789ABCDEF") << 1
                                      << QByteArray("0q23456789ABCDEF");
    QTest::newRow("a line past the end") << apply << Patch + "00000010 00 01\n" << Original << 2 << Original;
    QTest::newRow("a write failing part way") << -apply - 1 << Patch << Original << 2 << Original;
    const auto malformed = [&](const char* name, const QByteArray& text) {
        QTest::newRow(name) << apply << text << Original << 2 << Original;
    };
    malformed("no header", "00000001 31 78\n");
    malformed("odd hex digits", "quillmoor-patch 1\n00000001 313 787\n");
    malformed("old and new of different lengths", "quillmoor-patch 1\n00000001 31 7879\n");
    malformed("overlapping lines", "quillmoor-patch 1\n00000001 3132 7879\n00000002 32 79\n");
    malformed("past offset 2147483646", "quillmoor-patch 1\n7FFFFFFF 00 01\n");
}

void tst_PatchFile::answersAndLeavesTheFile()
{
    QFETCH(int, action);
    QFETCH(QByteArray, patch);
    QFETCH(QByteArray, before);
    QFETCH(int, status);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
    file.close();
    // A negative action fails the second write.
    if (action < 0) {
        action = -action - 1;
        FileFaults::failNth(FileFaults::Op::Write, 2, EIO);
    }
    QFile patchFile(dir.filePath(QStringLiteral("p.patch")));
    QVERIFY(patchFile.open(QIODevice::WriteOnly) && patchFile.write(patch) == patch.size());
    patchFile.close();
    FileHandle opened = FileHandle::open(patchFile.fileName().toStdString(), FileHandle::Mode::Read);
    const PatchFile::Parsed parsed = PatchFile::read(opened);
    const int answered
        = parsed.errorLine > 0 ? 2 : PatchFile::run(PatchFile::Action(action), parsed.patch, path.toStdString()).status;
    FileFaults::reset();
    QCOMPARE(answered, status);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), after);
}

QTEST_GUILESS_MAIN(tst_PatchFile)
#include "tst_PatchFile.moc"
