#include "support/Exception.h"
#include "support/FileFaults.h"
#include "support/FileHandle.h"
#include "support/FilePath.h"
#include "support/__Files.h"
#include "tests/PrivilegeDrop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>

class tst_Files : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void writesOnlyInsideTheFile_data();
    void writesOnlyInsideTheFile();
    void cannotOpenForWritingGivesFalse();
    void aReadOnlyFileGivesFalseAndStaysUnchanged();
    void patchesASparseFileBeyond2GiBAtTheRightOffset();
    void neverGrowsTheFileEvenAtTheSizeLimit();
    void failuresAfterTheOpenRaiseAndCloseTheFile_data();
    void failuresAfterTheOpenRaiseAndCloseTheFile();
    void programDirIsTheExecutablesDirectory();
    void userSettingsFollowTheXdgConfigHome_data();
    void userSettingsFollowTheXdgConfigHome();
    void ioErrorMessagesFollowTheCodeTable_data();
    void ioErrorMessagesFollowTheCodeTable();
    void systemErrorsMapOntoTheCodes_data();
    void systemErrorsMapOntoTheCodes();
    void aRangeReadStopsJustBeforeTheFailingByte_data();
    void aRangeReadStopsJustBeforeTheFailingByte();
    void pathsAreTakenApartAtTheLastSlash_data();
    void pathsAreTakenApartAtTheLastSlash();
    void onlyWhatExistsAndIsNoDirectoryIsAFile();

private:
    std::string file(const QByteArray& bytes, const char* name = "data.bin");
    static QByteArray contents(const std::string& path);
    static int openDescriptors() { return int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size()); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

std::string tst_Files::file(const QByteArray& bytes, const char* name)
{
    const QString path = m_dir->filePath(QString::fromLatin1(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path.toStdString();
}

QByteArray tst_Files::contents(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void tst_Files::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0755);
}

void tst_Files::cleanup()
{
    FileFaults::reset();
    m_dir.reset();
}

void tst_Files::writesOnlyInsideTheFile_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("first byte") << QByteArray("abcd") << 0 << 0x41 << true << QByteArray("Abcd");
    QTest::newRow("last byte") << QByteArray("abcd") << 3 << 0xFF << true << QByteArray("abc\xFF");
    QTest::newRow("offset = length") << QByteArray("abcd") << 4 << 0x41 << false << QByteArray("abcd");
    QTest::newRow("far beyond") << QByteArray("abcd") << 2147483647 << 0x41 << false << QByteArray("abcd");
    QTest::newRow("negative") << QByteArray("abcd") << -1 << 0x41 << false << QByteArray("abcd");
    QTest::newRow("int min") << QByteArray("abcd") << int(INT32_MIN) << 0x41 << false << QByteArray("abcd");
    QTest::newRow("empty file") << QByteArray() << 0 << 0x41 << false << QByteArray();
    QTest::newRow("same value again") << QByteArray("abcd") << 1 << int('b') << true << QByteArray("abcd");
    QTest::newRow("zero byte") << QByteArray("abcd") << 2 << 0 << true << QByteArray("ab\0d", 4);
}

void tst_Files::writesOnlyInsideTheFile()
{
    QFETCH(QByteArray, before);
    QFETCH(int, offset);
    QFETCH(int, value);
    QFETCH(bool, written);
    QFETCH(QByteArray, after);
    const std::string path = file(before);
    QCOMPARE(WriteByteAt(path, offset, static_cast<std::uint8_t>(value)), written);
    QCOMPARE(contents(path), after);
}

void tst_Files::cannotOpenForWritingGivesFalse()
{
    QVERIFY(!WriteByteAt(m_dir->filePath("missing").toStdString(), 0, 1));
    QVERIFY(!QFile::exists(m_dir->filePath("missing"))); // never created
    QVERIFY(!WriteByteAt(m_dir->path().toStdString(), 0, 1));
    const std::string fifo = m_dir->filePath("fifo").toStdString();
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    QVERIFY(!WriteByteAt(fifo, 0, 1));
    QVERIFY(!WriteByteAt("/dev/zero", 0, 1));
    QVERIFY(!WriteByteAt("/dev/full", 0, 1));
}

void tst_Files::aReadOnlyFileGivesFalseAndStaysUnchanged()
{
    const std::string path = file("abcd");
    ::chmod(path.c_str(), 0444);
    QCOMPARE(runAsNobody([&] { return WriteByteAt(path, 1, 'X') ? 1 : 0; }), 0);
    QCOMPARE(contents(path), QByteArray("abcd"));
}

void tst_Files::patchesASparseFileBeyond2GiBAtTheRightOffset()
{
    const std::string path = file("");
    QCOMPARE(::truncate(path.c_str(), 3LL << 30), 0);
    QVERIFY(WriteByteAt(path, 2147483646, 0x5A));
    QVERIFY(WriteByteAt(path, 2147483647, 0xA5));
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.size(), qint64(3) << 30);
    QVERIFY(f.seek(2147483646));
    QCOMPARE(f.read(3), QByteArray("\x5A\xA5\0", 3));
    // Nothing was written at the wrapped-around offsets.
    QVERIFY(f.seek(0));
    QCOMPARE(f.read(4), QByteArray(4, '\0'));
}

void tst_Files::neverGrowsTheFileEvenAtTheSizeLimit()
{
    const std::string path = file("abcd");
    const int result = runInChild(
        [&] {
            limitFileSize(4);
            if (!WriteByteAt(path, 3, 'Z'))
                return 1;
            return WriteByteAt(path, 4, 'Z') ? 2 : 0;
        },
        false);
    QCOMPARE(result, 0);
    QCOMPARE(contents(path), QByteArray("abcZ"));
}

void tst_Files::failuresAfterTheOpenRaiseAndCloseTheFile_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("err");
    QTest::addColumn<int>("code");
    QTest::newRow("size query") << int(FileFaults::Op::Size) << EIO << EIO;
    QTest::newRow("seek") << int(FileFaults::Op::Seek) << 131 << 131;
    QTest::newRow("write, no space") << int(FileFaults::Op::Write) << ENOSPC << 101;
    QTest::newRow("sync") << int(FileFaults::Op::Sync) << EIO << EIO;
}

void tst_Files::failuresAfterTheOpenRaiseAndCloseTheFile()
{
    QFETCH(int, op);
    QFETCH(int, err);
    QFETCH(int, code);
    const std::string path = file("abcd");
    const int descriptors = openDescriptors();
    FileFaults::failNth(static_cast<FileFaults::Op>(op), 1, err);
    try {
        (void)WriteByteAt(path, 1, 'X');
        QFAIL("no error raised");
    } catch (const EInOutError& error) {
        QCOMPARE(error.code(), code);
    }
    QCOMPARE(openDescriptors(), descriptors);
    if (op != int(FileFaults::Op::Sync))
        QCOMPARE(contents(path), QByteArray("abcd"));
}

void tst_Files::programDirIsTheExecutablesDirectory()
{
    const std::string dir = ProgramDir();
    QVERIFY(!dir.empty());
    QCOMPARE(dir.back(), '/');
    QCOMPARE(QString::fromStdString(dir), QCoreApplication::applicationDirPath() + '/');
}

void tst_Files::userSettingsFollowTheXdgConfigHome_data()
{
    // "@" stands for the temporary folder; a null configHome leaves the variable unset.
    QTest::addColumn<QByteArray>("configHome");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("made");
    QTest::newRow("set") << QByteArray("@/cfg") << QByteArray("@/cfg/quillmoor/") << true;
    QTest::newRow("set, ending in a slash") << QByteArray("@/cfg/") << QByteArray("@/cfg/quillmoor/") << true;
    QTest::newRow("unset") << QByteArray() << QByteArray("@/home/.config/quillmoor/") << true;
    QTest::newRow("empty") << QByteArray("") << QByteArray("@/home/.config/quillmoor/") << true;
    QTest::newRow("relative, so ignored") << QByteArray("cfg") << QByteArray("@/home/.config/quillmoor/") << true;
    QTest::newRow("a file in the way") << QByteArray("@/x") << QByteArray("@/x/quillmoor/") << false;
}

void tst_Files::userSettingsFollowTheXdgConfigHome()
{
    QFETCH(QByteArray, configHome);
    QFETCH(QByteArray, expected);
    QFETCH(bool, made);
    const QByteArray root = QFile::encodeName(m_dir->path());
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedConfigHome = qgetenv("XDG_CONFIG_HOME");
    const bool hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", savedHome);
        if (hadConfigHome)
            qputenv("XDG_CONFIG_HOME", savedConfigHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
    });
    qputenv("HOME", root + "/home");
    if (configHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", configHome.replace('@', root));
    file("", "x");

    const std::string dir = UserSettingsDir();
    QCOMPARE(QByteArray::fromStdString(dir), expected.replace('@', root));
    struct stat info { };
    QCOMPARE(::stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode), made);
    if (made)
        QCOMPARE(info.st_mode & 0777, 0700u);
    QCOMPARE(UserSettingsDir(), dir); // a second start finds it made
}

void tst_Files::ioErrorMessagesFollowTheCodeTable_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("2") << 2 << QByteArray("File not found");
    QTest::newRow("3") << 3 << QByteArray("Invalid filename");
    QTest::newRow("4") << 4 << QByteArray("Too many open files");
    QTest::newRow("5") << 5 << QByteArray("File access denied");
    QTest::newRow("100") << 100 << QByteArray("Read beyond end of file");
    QTest::newRow("101") << 101 << QByteArray("Disk full");
    QTest::newRow("106") << 106 << QByteArray("Invalid numeric input");
    QTest::newRow("103") << 103 << QByteArray("I/O error 103");
    QTest::newRow("131") << 131 << QByteArray("I/O error 131");
    QTest::newRow("32") << 32 << QByteArray("I/O error 32");
}

void tst_Files::ioErrorMessagesFollowTheCodeTable()
{
    QFETCH(int, code);
    QFETCH(QByteArray, message);
    const EInOutError error(code);
    QCOMPARE(error.code(), code);
    QCOMPARE(QByteArray::fromStdString(error.message()), message);
}

void tst_Files::systemErrorsMapOntoTheCodes_data()
{
    QTest::addColumn<int>("err");
    QTest::addColumn<int>("code");
    QTest::newRow("ENOENT") << ENOENT << 2;
    QTest::newRow("ENOTDIR") << ENOTDIR << 3;
    QTest::newRow("ENAMETOOLONG") << ENAMETOOLONG << 3;
    QTest::newRow("EMFILE") << EMFILE << 4;
    QTest::newRow("ENFILE") << ENFILE << 4;
    QTest::newRow("EACCES") << EACCES << 5;
    QTest::newRow("EROFS") << EROFS << 5;
    QTest::newRow("ENOSPC") << ENOSPC << 101;
    QTest::newRow("EFBIG") << EFBIG << 101;
    QTest::newRow("EIO") << EIO << EIO;
    QTest::newRow("EISDIR") << EISDIR << EISDIR;
}

void tst_Files::systemErrorsMapOntoTheCodes()
{
    QFETCH(int, err);
    QFETCH(int, code);
    QCOMPARE(EInOutError::fromErrno(err).code(), code);
}

void tst_Files::aRangeReadStopsJustBeforeTheFailingByte_data()
{
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("failingByte"); // 1-based among the bytes asked for; 0: none planned
    QTest::addColumn<int>("got");
    QTest::addColumn<int>("failure");

    QTest::newRow("all of it") << qint64(0) << 256 << 0 << 256 << 0;
    QTest::newRow("cut short by the end of the file") << qint64(900) << 256 << 0 << 100 << 0;
    QTest::newRow("at the end of the file") << qint64(1000) << 256 << 0 << 0 << 0;
    QTest::newRow("the first byte fails") << qint64(0) << 256 << 1 << 0 << EIO;
    QTest::newRow("a byte inside fails") << qint64(10) << 256 << 43 << 42 << EIO;
    QTest::newRow("the last byte fails") << qint64(10) << 256 << 256 << 255 << EIO;
    QTest::newRow("a failure beyond the range is not this read's") << qint64(0) << 256 << 257 << 256 << 0;
    QTest::newRow("a negative offset") << qint64(-1) << 256 << 0 << 0 << EINVAL;
}

void tst_Files::aRangeReadStopsJustBeforeTheFailingByte()
{
    QFETCH(qint64, offset);
    QFETCH(int, count);
    QFETCH(int, failingByte);
    QFETCH(int, got);
    QFETCH(int, failure);
    QByteArray bytes(1000, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    FileHandle handle;
    QCOMPARE(handle.open(file(bytes), FileHandle::Mode::Read), 0);
    if (failingByte)
        FileFaults::failNth(FileFaults::Op::Read, failingByte, EIO);
    QByteArray buffer(count, '\0');
    int err = -1;
    QCOMPARE(int(handle.readAt(offset, buffer.data(), std::size_t(count), err)), got);
    QCOMPARE(err, failure);
    QCOMPARE(buffer.left(got), bytes.mid(std::max<qint64>(offset, 0), got));
}

void tst_Files::pathsAreTakenApartAtTheLastSlash_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("directory");
    QTest::newRow("a full path") << QByteArray("/home/u/dump.bin") << QByteArray("/home/u/");
    QTest::newRow("the root") << QByteArray("/dump.bin") << QByteArray("/");
    QTest::newRow("a bare name") << QByteArray("dump.bin") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("a directory") << QByteArray("/home/u/") << QByteArray("/home/u/");
    QTest::newRow("Cyrillic bytes") << QByteArray("/\xD0\xB4/\xE4.bin") << QByteArray("/\xD0\xB4/");
}

void tst_Files::pathsAreTakenApartAtTheLastSlash()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, directory);
    QCOMPARE(directoryPart(path.toStdString()), directory.toStdString());
}

void tst_Files::onlyWhatExistsAndIsNoDirectoryIsAFile()
{
    const std::string existing = file("x");
    QVERIFY(fileExists(existing));
    QVERIFY(!fileExists(existing + "-missing"));
    QVERIFY(!fileExists(""));
    QVERIFY(!fileExists(m_dir->path().toStdString()));
    // The system would see only the part before the NUL, which exists.
    QVERIFY(!fileExists(existing + std::string(1, '\0') + "tail"));
}

QTEST_GUILESS_MAIN(tst_Files)
#include "tst_Files.moc"
