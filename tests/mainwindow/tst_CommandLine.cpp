#include "mainwindow/CommandLine.h"

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

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_CommandLine.moc"
