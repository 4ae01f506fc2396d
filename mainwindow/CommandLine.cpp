#include "mainwindow/CommandLine.h"

#include "mainwindow/PatchCommand.h"
#include "support/Cp1251.h"
#include "ui/SharedClipboard.h"

#include <QCommandLineParser>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <string_view>
#include <unistd.h>

namespace {

// The toolkit's own options, which the application object takes out of the arguments when it is made. They are
// read here before it exists, so that --help answers without a display, and must not be mistaken for the
// program's own. The toolkit takes them with one dash or two, wherever they stand (a "--" does not end them);
// those with a value take it as the next argument, and a few also after "=".
std::vector<std::string> withoutToolkitOptions(const std::vector<std::string>& args, std::string& geometry)
{
    static constexpr std::string_view flags[] = { "reverse", "widgetcount", "nograb", "dograb", "testability" };
    static constexpr std::string_view withValue[]
        = { "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
              "qwindowtitle", "session", "style", "stylesheet", "display", "geometry", "name", "title", "visual" };
    static constexpr std::string_view withEquals[] = { "style=", "stylesheet=", "qmljsdebugger=" };
    const auto among = [](const auto& names, std::string_view name) {
        return std::find(std::begin(names), std::end(names), name) != std::end(names);
    };
    std::vector<std::string> own;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string_view name = arg;
        if (i > 0 && name.size() > 1 && name.front() == '-')
            name.remove_prefix(name.starts_with("--") ? 2 : 1);
        else
            name = {};
        if (among(withValue, name)) {
            if ((name == "geometry" || name == "qwindowgeometry") && i + 1 < args.size())
                geometry = args[i + 1];
            ++i;
        } else if (!among(flags, name)
            && std::none_of(std::begin(withEquals), std::end(withEquals),
                [&](std::string_view prefix) { return name.starts_with(prefix); }))
            own.push_back(arg);
    }
    return own;
}

// The file argument's own bytes. The parser sees the arguments decoded, and a name that is not valid UTF-8
// would not come back from it unchanged; the options take no values, so the n-th argument the parser calls
// positional is the n-th one that is no option here.
std::vector<std::string> positionalBytes(const std::vector<std::string>& args)
{
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--")
            optionsEnded = true;
        else if (optionsEnded || arg.size() < 2 || arg.front() != '-')
            positional.push_back(arg);
    }
    return positional;
}

std::string absolutePath(const std::string& path, const std::string& workingDir)
{
    if (path.front() == '/')
        return path;
    std::string absolute = workingDir;
    if (absolute.empty() || absolute.back() != '/')
        absolute += '/';
    std::string_view rest = path;
    // Only "./" is dropped: resolving ".." by hand would be wrong across a symbolic link.
    while (rest.starts_with("./"))
        rest.remove_prefix(2);
    return absolute + std::string(rest);
}

// The working directory as the system's bytes; "." when it cannot be told (removed meanwhile, or above a
// folder that cannot be read), so a relative name still means the same file to the system.
std::string workingDirectory()
{
    std::string buffer(256, '\0');
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return ".";
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(buffer.find('\0'));
    return buffer;
}

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

// --apply, --check and --revert: one line on standard error, and the exit status.
int answerPatch(const CommandLine& commandLine)
{
    using Action = PatchCommand::Action;
    const Action action = commandLine.action == CommandLine::Action::ApplyPatch ? Action::Apply
        : commandLine.action == CommandLine::Action::CheckPatch                 ? Action::Check
                                                                                : Action::Revert;
    const auto say = [](const std::string& line) {
        print(stderr, QStringLiteral("quillmoor: ") + Cp1251::toQString(line) + QLatin1Char('\n'));
    };
    // Whatever else goes wrong, the command line answers with a line and status 2, never an abort.
    try {
        const PatchCommand::Answer answer = PatchCommand::run(action, commandLine.patch, commandLine.file);
        if (!answer.recovery.empty())
            say(answer.recovery);
        say(answer.message);
        return answer.status;
    } catch (const std::bad_alloc&) {
        say(Cp1251::fromUtf8("Недостаточно памяти"));
    } catch (const std::exception& error) {
        say(Cp1251::fromUtf8("непредвиденная ошибка: ") + error.what());
    }
    return 2;
}

// --diff: the patch on standard output, what the comparison found on standard error, and the exit status.
int answerDiff(const CommandLine& commandLine)
{
    const auto say = [](const std::string& line) {
        print(stderr, QStringLiteral("quillmoor: ") + Cp1251::toQString(line) + QLatin1Char('\n'));
    };
    try {
        const PatchCommand::Answer answer = PatchCommand::diff(commandLine.patch, commandLine.file,
            [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); });
        // A patch cut short by a full disk or a closed pipe must not pass for a whole one.
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            say(Cp1251::fromUtf8("не удаётся записать заплатку в стандартный вывод"));
            return 2;
        }
        say(answer.message);
        return answer.status;
    } catch (const std::bad_alloc&) {
        say(Cp1251::fromUtf8("Недостаточно памяти"));
    } catch (const std::exception& error) {
        say(Cp1251::fromUtf8("непредвиденная ошибка: ") + error.what());
    }
    return 2;
}

} // namespace

CommandLine parseProgramArguments(int argc, char* argv[])
{
    return parseCommandLine(std::vector<std::string>(argv, argv + argc), workingDirectory());
}

int answerWithoutWindow(const CommandLine& commandLine)
{
    switch (commandLine.action) {
    case CommandLine::Action::PrintHelp:
        print(stdout, commandLineHelp());
        return 0;
    case CommandLine::Action::PrintVersion:
        print(stdout, commandLineVersion());
        return 0;
    case CommandLine::Action::UsageError:
        // One line and where to read more, as command-line programs answer a mistyped option.
        print(stderr,
            QStringLiteral("quillmoor: ") + commandLine.error + QString::fromUtf8("\nПодробнее: quillmoor --help\n"));
        return 2;
    case CommandLine::Action::ApplyPatch:
    case CommandLine::Action::CheckPatch:
    case CommandLine::Action::RevertPatch:
        return answerPatch(commandLine);
    case CommandLine::Action::DiffFiles:
        return answerDiff(commandLine);
    case CommandLine::Action::Run:
    case CommandLine::Action::PrintClipboard:
        break;
    }
    return 0;
}

CommandLine parseCommandLine(const std::vector<std::string>& givenArgs, const std::string& workingDir)
{
    std::string geometry;
    const std::vector<std::string> args = withoutToolkitOptions(givenArgs, geometry);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption help(QStringList { QStringLiteral("h"), QStringLiteral("help") });
    const QCommandLineOption version(QStringList { QStringLiteral("v"), QStringLiteral("version") });
    const QCommandLineOption apply(QStringLiteral("apply"));
    const QCommandLineOption check(QStringLiteral("check"));
    const QCommandLineOption revert(QStringLiteral("revert"));
    const QCommandLineOption diff(QStringLiteral("diff"));
    // The window's own way to read the clipboard in a process of its own; not for users, so not in the help.
    const QCommandLineOption printClipboard(QString::fromLatin1(SharedClipboard::Option + 2));
    parser.addOptions({ help, version, apply, check, revert, diff, printClipboard });

    QStringList decoded;
    for (const std::string& arg : args)
        decoded << QFile::decodeName(QByteArray::fromStdString(arg));
    if (decoded.isEmpty())
        decoded << QStringLiteral("quillmoor");

    CommandLine result;
    result.windowGeometry = QString::fromLocal8Bit(geometry);
    if (!parser.parse(decoded)) {
        result.action = CommandLine::Action::UsageError;
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString dashes = unknown.first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--");
            result.error = QString::fromUtf8("неизвестный параметр «%1»").arg(dashes + unknown.first());
        } else {
            // The only other complaint the parser can have here: a value given to an option that takes none.
            const auto withValue = std::find_if(decoded.cbegin() + 1, decoded.cend(),
                [](const QString& arg) { return arg.startsWith(QLatin1Char('-')) && arg.contains(QLatin1Char('=')); });
            result.error = QString::fromUtf8("параметр не принимает значения: «%1»")
                               .arg(withValue != decoded.cend() ? *withValue : parser.errorText());
        }
        return result;
    }
    if (parser.isSet(help)) {
        result.action = CommandLine::Action::PrintHelp;
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Action::PrintVersion;
        return result;
    }
    if (parser.isSet(printClipboard)) {
        result.action = CommandLine::Action::PrintClipboard;
        return result;
    }
    const std::vector<std::string> files = positionalBytes(args);
    const int patching = int(parser.isSet(apply)) + int(parser.isSet(check)) + int(parser.isSet(revert));
    if (parser.isSet(diff)) {
        if (patching > 0 || files.size() != 2 || files[0].empty() || files[1].empty()) {
            result.action = CommandLine::Action::UsageError;
            result.error = QString::fromUtf8("--diff: ФАЙЛ1 и ФАЙЛ2");
            return result;
        }
        result.action = CommandLine::Action::DiffFiles;
        result.patch = absolutePath(files[0], workingDir);
        result.file = absolutePath(files[1], workingDir);
        return result;
    }
    if (patching > 0) {
        if (patching > 1 || files.size() != 2 || files[0].empty() || files[1].empty()) {
            result.action = CommandLine::Action::UsageError;
            result.error = QString::fromUtf8("--apply, --check и --revert: один из них, затем ЗАПЛАТКА и ФАЙЛ");
            return result;
        }
        result.action = parser.isSet(apply) ? CommandLine::Action::ApplyPatch
            : parser.isSet(check)           ? CommandLine::Action::CheckPatch
                                            : CommandLine::Action::RevertPatch;
        result.patch = absolutePath(files[0], workingDir);
        result.file = absolutePath(files[1], workingDir);
        return result;
    }
    if (files.size() > 1) {
        result.action = CommandLine::Action::UsageError;
        result.error = QString::fromUtf8("можно открыть только один файл");
        return result;
    }
    if (files.size() == 1 && !files.front().empty())
        result.file = absolutePath(files.front(), workingDir);
    return result;
}

QString commandLineHelp()
{
    return QString::fromUtf8("Использование: quillmoor [ФАЙЛ]\n"
                             "       quillmoor --apply|--check|--revert ЗАПЛАТКА ФАЙЛ\n"
                             "       quillmoor --diff ФАЙЛ1 ФАЙЛ2 > ЗАПЛАТКА\n"
                             "Просмотр и побайтная правка любого файла.\n"
                             "\n"
                             "  ФАЙЛ           открыть этот файл вместо запомненного\n"
                             "  --apply        наложить заплатку на ФАЙЛ, только если он держит её старые байты\n"
                             "  --check        сказать, накладывается ли заплатка, уже наложена или конфликтует\n"
                             "  --revert       снять заплатку, только если ФАЙЛ держит её новые байты\n"
                             "  --diff         записать отличия ФАЙЛ2 от ФАЙЛ1 на их общей длине как заплатку\n"
                             "                 для ФАЙЛ1 (0: равны, 1: различаются, 2: ошибка)\n"
                             "  -h, --help     показать эту справку и выйти\n"
                             "  -v, --version  показать версию и выйти\n"
                             "\n"
                             "Пример: quillmoor --apply fw.patch fw-copy.bin (0: наложена или уже была,\n"
                             "1: конфликт, ничего не записано, 2: ошибка)\n"
                             "\n"
                             "Клавиши окна:\n"
                             "  Ctrl+O               открыть файл\n"
                             "  Alt+Page Up/Down     предыдущий, следующий блок из 8192 байтов\n"
                             "  Tab, Shift+Tab       между таблицей и переключателем записи (Space)\n"
                             "\n"
                             "Клавиши в таблице (редактор закрыт):\n"
                             "  Enter, F2            открыть редактор байта (или просто набрать значение)\n"
                             "  Menu, Shift+F10      меню: в начало, в конец, к байту N, отчёт, ширина колонки\n"
                             "  Ctrl+C               копировать байты выделенных строк\n"
                             "  Ctrl+F               найти байты (4D 5A), любой байт (4D ?? 5A), \"текст\"\n"
                             "                       или число в обоих порядках байтов (int32 1234)\n"
                             "  F3, Shift+F3         найти снова дальше, ближе к началу\n"
                             "  Escape               прервать поиск, сравнение или подсчёт сумм файла\n"
                             "  Ctrl+K               сравнить с другим файлом (ещё раз: закончить)\n"
                             "  F6, Shift+F6         следующее, предыдущее отличие от файла сравнения\n"
                             "  Ctrl+Shift+K         сохранить отличия как заплатку\n"
                             "  Ctrl+Shift+S         сохранить изменения этого запуска как заплатку\n"
                             "  F12                  окно значений: байты с текущей строки как числа,\n"
                             "                       время и текст, LE и BE (и с открытым редактором)\n"
                             "  Ctrl+Shift+C         окно контрольных сумм выделенных байтов или файла\n"
                             "\n"
                             "Только при разрешённой записи:\n"
                             "  Ctrl+Z               отменить последнюю запись (байт, вставку, замену)\n"
                             "  Ctrl+Y, Ctrl+Shift+Z повторить отменённую запись\n"
                             "  Ctrl+V               вставить байты с текущей строки или по выделенным\n"
                             "  Ctrl+H               заменить все вхождения байтами той же длины\n"
                             "                       (?? сохраняет байт, число — в порядке вхождения)\n"
                             "\n"
                             "Параметры Qt (-style Fusion, -platform wayland, -qwindowgeometry 800x600+0+0,\n"
                             "-geometry) передаются Qt.\n");
}

QString commandLineVersion()
{
    return QStringLiteral("Quillmoor " QUILLMOOR_VERSION "\n");
}
