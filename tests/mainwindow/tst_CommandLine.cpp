#include "mainwindow/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(Action)

class tst_CommandLine : public QObject {
    Q_OBJECT

private slots:
    void readsWhatTheArgumentsAskFor_data();
    void readsWhatTheArgumentsAskFor();
    void keepsTheFileNamesOwnBytes();
    void namesAnUnknownOptionAsTyped_data();
    void namesAnUnknownOptionAsTyped();
    void textsAreRussianAndEndWithANewLine();
    void patchCommandsAnswerAndLeaveTheFile_data();
    void patchCommandsAnswerAndLeaveTheFile();
};

void tst_CommandLine::readsWhatTheArgumentsAskFor_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("file");

    const auto row = [](const char* name, QStringList args, Action action, const char* file = "") {
        QTest::newRow(name) << args << action << QString::fromUtf8(file);
    };
    row("nothing", {}, Action::Run);
    row("absolute file", { "/data/fw.bin" }, Action::Run, "/data/fw.bin");
    row("relative file", { "fw.bin" }, Action::Run, "/home/u/work/fw.bin");
    row("dot slash", { "./a/./fw.bin" }, Action::Run, "/home/u/work/a/./fw.bin");
    row("parent kept as typed", { "../fw.bin" }, Action::Run, "/home/u/work/../fw.bin");
    row("name starting with a dash after --", { "--", "-fw.bin" }, Action::Run, "/home/u/work/-fw.bin");
    row("lone dash is a name", { "-" }, Action::Run, "/home/u/work/-");
    row("empty argument opens nothing", { "" }, Action::Run);
    row("long help", { "--help" }, Action::PrintHelp);
    row("short help", { "-h" }, Action::PrintHelp);
    row("help wins over a file", { "fw.bin", "--help" }, Action::PrintHelp);
    row("long version", { "--version" }, Action::PrintVersion);
    row("short version", { "-v" }, Action::PrintVersion);
    row("unknown long option", { "--write" }, Action::UsageError);
    row("unknown short option", { "-x" }, Action::UsageError);
    row("unknown option beside a file", { "fw.bin", "--zzz" }, Action::UsageError);
    row("two files", { "a.bin", "b.bin" }, Action::UsageError);
    row("help takes no value", { "--help=yes" }, Action::UsageError);
    row("toolkit options left to the toolkit", { "-style", "Fusion", "-reverse", "fw.bin", "--style=Fusion" },
        Action::Run, "/home/u/work/fw.bin");
    row("toolkit option's value is not a file", { "--qwindowgeometry", "600x500", "-platform", "xcb" }, Action::Run);
    row("toolkit takes its options even after --", { "--", "-session", "s1" }, Action::Run);
    row("only some toolkit options take =", { "-platform=xcb" }, Action::UsageError);
    row("apply a patch to a file", { "--apply", "p.patch", "f.bin" }, Action::ApplyPatch, "/home/u/work/f.bin");
    row("a patch but no file", { "--revert", "p.patch" }, Action::UsageError);
    row("two of the patch options", { "--check", "--apply", "p.patch", "f.bin" }, Action::UsageError);
    row("the differences of two files", { "--diff", "a.bin", "b.bin" }, Action::DiffFiles, "/home/u/work/b.bin");
    row("differences need two files", { "--diff", "a.bin" }, Action::UsageError);
}

void tst_CommandLine::readsWhatTheArgumentsAskFor()
{
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    QFETCH(QString, file);

    std::vector<std::string> raw { "quillmoor" };
    for (const QString& arg : args)
        raw.push_back(arg.toStdString());
    const CommandLine parsed = parseCommandLine(raw, "/home/u/work");
    QCOMPARE(parsed.action, action);
    QCOMPARE(QString::fromStdString(parsed.file), file);
    QCOMPARE(parsed.error.isEmpty(), action != Action::UsageError);
}

void tst_CommandLine::keepsTheFileNamesOwnBytes()
{
    // Not valid UTF-8: the name must reach the file system byte for byte.
    const std::string name = "/tmp/\xe0\xff\x01-\xd0\xaf.bin";
    QCOMPARE(parseCommandLine({ "quillmoor", name }, "/").file, name);
    QCOMPARE(parseCommandLine({ "quillmoor", "rel\xff" }, "/w/").file, std::string("/w/rel\xff"));
}

void tst_CommandLine::namesAnUnknownOptionAsTyped_data()
{
    QTest::addColumn<QString>("arg");
    QTest::addColumn<QString>("named");
    QTest::newRow("long") << "--write" << QString::fromUtf8("«--write»");
    QTest::newRow("short") << "-x" << QString::fromUtf8("«-x»");
    QTest::newRow("value to a switch") << "--help=yes" << QString::fromUtf8("значения: «--help=yes»");
}

void tst_CommandLine::namesAnUnknownOptionAsTyped()
{
    QFETCH(QString, arg);
    QFETCH(QString, named);
    const CommandLine parsed = parseCommandLine({ "quillmoor", arg.toStdString() }, "/");
    QVERIFY2(parsed.error.contains(named), qPrintable(parsed.error));
}

void tst_CommandLine::textsAreRussianAndEndWithANewLine()
{
    QVERIFY(commandLineHelp().startsWith(QString::fromUtf8("Использование: quillmoor [ФАЙЛ]")));
    QVERIFY(commandLineHelp().contains(QStringLiteral("--version")));
    QVERIFY(commandLineVersion().startsWith(QStringLiteral("Quillmoor ")));
    QVERIFY(commandLineHelp().endsWith(QLatin1Char('\n')) && commandLineVersion().endsWith(QLatin1Char('\n')));
}

void tst_CommandLine::patchCommandsAnswerAndLeaveTheFile_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QByteArray>("patch"); // empty: none
    QTest::addColumn<QByteArray>("before"); // empty: no file
    QTest::addColumn<QString>("fault"); // what the write faults library does to the program's writes
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // %p stands for the patch's path, %f for the file's
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<qint64>("hole"); // the file's bytes stand after a hole this long, which reads as zeros
    const QByteArray original = "0123456789ABCDEF";
    const QByteArray patched = "0xy3456789ZBCDEF";
    const QByteArray patch = "quillmoor-patch 1\n# file: /x, size 16\n00000001 3132 7879\n0000000A 41 5A\n";
    const auto row
        = [&](const char* name, const char* action, const QByteArray& before, int status, const char* said,
              const QByteArray& after, const QByteArray& text = {}, const char* fault = "", qint64 hole = 0) {
              QTest::newRow(name) << QString::fromLatin1(action) << (text.isNull() ? patch : text) << before
                                  << QString::fromLatin1(fault) << status << QString::fromUtf8(said) << after << hole;
          };
    row("applied", "--apply", original, 0, "заплатка наложена", patched);
    row("already applied: nothing written", "--apply", patched, 0, "заплатка уже наложена, ничего не записано",
        patched);
    row("a conflict at the last line, after lines that hold", "--apply", "0123456789qBCDEF", 1,
        "конфликт по смещению 0000000A: ожидалось 41, найдено 71; ничего не записано", "0123456789qBCDEF");
    row("taken back", "--revert", patched, 0, "заплатка снята", original);
    row("check: applies", "--check", original, 0, "заплатка накладывается", original);
    row("check: conflicts", "--check", "0q23456789ABCDEF", 1,
        "конфликт по смещению 00000001: ожидалось 3132, найдено 7132; ничего не записано", "0q23456789ABCDEF");
    row("a line past the end, after a conflict", "--apply", "0q23456789ABCDEF", 2,
        "строка за концом файла, смещение 00000010", "0q23456789ABCDEF", patch + "00000010 00 01\n");
    row("a patch that cannot be read", "--apply", original, 2, "заплатка, строка 2: старые и новые байты разной длины",
        original, "quillmoor-patch 1\n00000001 31 7879\n");
    row("no patch", "--apply", original, 2, "не удаётся прочитать заплатку %p: нет такого файла", original, "");
    row("a gigabyte with no line end is refused at its first bytes", "--apply", original, 2,
        "заплатка, строка 1: нет заголовка quillmoor-patch 1", original, "<1 GiB>");
    row("no file", "--check", "", 2, "не удаётся открыть файл: %f: нет такого файла", "<missing>");
    row("a write failing part way puts back what was written", "--apply", original, 2, "ошибка ввода-вывода 5",
        original, {}, "QUILLMOOR_FAIL_WRITE=2");
    row("a file cut short during the write is not grown back", "--apply", original, 2,
        "файл укорочен во время записи, заплатка не наложена", "0", {}, "QUILLMOOR_CUT_AT_WRITE=1:1");
    // --diff FILE1 FILE2: the first file stands where the patch does; neither is written.
    row("diff: the same bytes", "--diff", original, 0, "Отличий нет", original, original);
    row("diff: two runs and a size", "--diff", patched + "!", 1, "Различных байтов: 3, мест: 2; размеры: 16 и 17",
        patched + "!", original);
    row("diff: no first file", "--diff", original, 2, "не удаётся открыть файл: %p: нет такого файла", original, "");
    // The same sixteen bytes past 4 GiB.
    const qint64 far = qint64(4) << 30;
    const QByteArray farPatch = "quillmoor-patch 1\n100000001 3132 7879\n10000000A 41 5A\n";
    row("past 4 GiB: applied", "--apply", original, 0, "заплатка наложена", patched, farPatch, "", far);
    row("past 4 GiB: taken back", "--revert", patched, 0, "заплатка снята", original, farPatch, "", far);
    row("an offset below 4 GiB in a larger file, named with as many digits as its last", "--check", original, 1,
        "конфликт по смещению 000000001: ожидалось 3132, найдено 0000; ничего не записано", original, {}, "", far);
    row("a line past the end of any file", "--apply", original, 2, "заплатка, строка 2: строка за концом файла",
        original, "quillmoor-patch 1\n7FFFFFFFFFFFFFFF 00 01\n");
}

void tst_CommandLine::patchCommandsAnswerAndLeaveTheFile()
{
    QFETCH(QString, action);
    QFETCH(QByteArray, patch);
    QFETCH(QByteArray, before);
    QFETCH(QString, fault);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(QByteArray, after);
    QFETCH(qint64, hole);
    QTemporaryDir dir;
    const QString patchPath = dir.filePath(QStringLiteral("p.patch"));
    const QString path = dir.filePath(QStringLiteral("f.bin"));
    for (const auto& [name, bytes, at] : { std::tuple(patchPath, patch, qint64(0)), std::tuple(path, before, hole) }) {
        QFile file(name);
        QVERIFY(
            bytes.isEmpty() || (file.open(QIODevice::WriteOnly) && file.seek(at) && file.write(bytes) == bytes.size()));
    }
    if (patch == "<1 GiB>")
        QVERIFY(QFile::resize(patchPath, qint64(1) << 30));
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    if (!fault.isEmpty()) {
        environment.insert(fault.section(QLatin1Char('='), 0, 0), fault.section(QLatin1Char('='), 1));
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(QUILLMOOR_WRITE_FAULTS));
        // The sanitizers' runtime wants to be loaded first; the library only passes the writes on to it.
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
            environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    }
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUILLMOOR_PROGRAM), { action, patchPath, path });
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(QString::fromUtf8(program.readAllStandardError()),
        QStringLiteral("quillmoor: ")
            + QString(said).replace(QLatin1String("%p"), patchPath).replace(QLatin1String("%f"), path)
            + QLatin1Char('\n'));
    QCOMPARE(program.exitCode(), status);
    QFile file(path);
    QCOMPARE(file.open(QIODevice::ReadOnly) && file.seek(hole) ? file.readAll() : QByteArray("<missing>"), after);
    QCOMPARE(QDir(dir.path()).entryList({ QStringLiteral("*journal") }, QDir::Hidden | QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_CommandLine.moc"
