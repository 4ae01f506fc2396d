// What a kill at any instant leaves on disk. kill_driver writes the settings (by rename in a folder it may
// write, in place in one it may not) and patches bytes in a loop; this test kills it with SIGKILL at random
// instants, over and over, and after every kill checks each file against a model: the step that was under way
// is found either not begun or complete, never half done, and every other byte is as the finished steps left
// it. Temporary files of killed writes must not pile up beside the settings.
//
// QUILLMOOR_KILLS (default 1000) sets the number of kills.

#include "support/IniText.h"
#include "tests/support/KillPlan.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

constexpr uid_t Nobody = 65534;

const QByteArray InitialSettings = "; kept as written\r\n[Other]\r\nNameFile=not this one\r\n\r\n[File]\r\n"
                                   "NameFile=first\r\nStartByte=0\r\nExtra=keep me\r\n[Tail]\r\nLast=line\r\n";

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The file after the step. A settings file rewritten in place never shrinks: a shorter value is padded with
// trailing blanks to the old length.
QByteArray applied(const QByteArray& model, const KillPlan::Step& step)
{
    if (step.target == KillPlan::Target::Patch) {
        QByteArray patched = model;
        patched[step.offset] = static_cast<char>(step.byte);
        return patched;
    }
    const std::string old = model.toStdString();
    auto updated = IniText::withValue(old, KillPlan::Section, step.key, step.text);
    if (updated && step.target == KillPlan::Target::InPlace && updated->size() < old.size())
        updated = IniText::withValue(
            old, KillPlan::Section, step.key, step.text + std::string(old.size() - updated->size(), ' '));
    return updated ? QByteArray::fromStdString(*updated) : QByteArray("<refused>");
}

// A short picture of a file for a failure message: its size and its bytes from near where it departs from the
// expected ones, line breaks shown as \r and \n. Qt Test cuts long messages.
QString shown(const QByteArray& bytes, const QByteArray& expected)
{
    qsizetype same = 0;
    while (same < bytes.size() && same < expected.size() && bytes[same] == expected[same])
        ++same;
    const qsizetype from = std::max<qsizetype>(0, same - 20);
    QByteArray text = bytes.mid(from, 60);
    text.replace("\r", "\\r").replace("\n", "\\n");
    return QStringLiteral("%1 bytes, from %2: \"%3\"").arg(bytes.size()).arg(from).arg(QString::fromLatin1(text));
}

} // namespace

class tst_KillAtAnyInstant : public QObject {
    Q_OBJECT
private slots:
    void aKilledWriteLeavesTheOldOrTheNewFileAndNoPileOfTemporaries();
};

void tst_KillAtAnyInstant::aKilledWriteLeavesTheOldOrTheNewFileAndNoPileOfTemporaries()
{
    const int kills
        = qEnvironmentVariableIsSet("QUILLMOOR_KILLS") ? qEnvironmentVariableIntValue("QUILLMOOR_KILLS") : 1000;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    const QString renamedDir = dir.filePath(QStringLiteral("renamed"));
    const QString inPlaceDir = dir.filePath(QStringLiteral("inplace"));
    QVERIFY(QDir().mkdir(renamedDir) && QDir().mkdir(inPlaceDir));
    const QString paths[] = { renamedDir + "/Quillmoor.ini", inPlaceDir + "/Quillmoor.ini", dir.filePath("patch.bin") };
    const QString progressPath = dir.filePath(QStringLiteral("progress"));

    QByteArray models[3] = { InitialSettings, InitialSettings, QByteArray(KillPlan::PatchSize, Qt::Uninitialized) };
    for (int i = 0; i < KillPlan::PatchSize; ++i)
        models[2][i] = static_cast<char>(i * 53 + 7);
    for (int i = 0; i < 3; ++i)
        put(paths[i], models[i]);
    put(progressPath, QByteArray(sizeof(std::int64_t), '\xFF'));
    QFile progress(progressPath);
    QVERIFY(progress.open(QIODevice::ReadWrite));
    auto* begun = reinterpret_cast<std::int64_t*>(progress.map(0, sizeof(std::int64_t)));
    QVERIFY(begun);

    // The driver must not be able to create files in inplace/. Root ignores modes, so then the driver becomes
    // nobody, who owns everything it writes but that folder.
    std::vector<std::string> arguments { KILL_DRIVER, QFile::encodeName(dir.path()).toStdString(), "0" };
    if (::geteuid() == 0) {
        for (const QString& path : { renamedDir, paths[0], paths[1], paths[2], progressPath })
            QVERIFY(::chown(QFile::encodeName(path).constData(), Nobody, Nobody) == 0);
        arguments.push_back(std::to_string(Nobody));
    } else {
        QVERIFY(::chmod(QFile::encodeName(inPlaceDir).constData(), 0555) == 0);
    }
    const auto reopen = qScopeGuard([&] { ::chmod(QFile::encodeName(inPlaceDir).constData(), 0755); });
    struct stat inPlaceBefore { };
    QVERIFY(::stat(QFile::encodeName(paths[1]).constData(), &inPlaceBefore) == 0);

    QRandomGenerator random(20261209);
    std::int64_t next = 0; // the first step the models do not hold yet
    int oldFound[3] = {}, newFound[3] = {};
    int mostTemporaries = 0, killedBeforeAStep = 0;
    QElapsedTimer clock;
    clock.start();
    for (int kill = 0; kill < kills; ++kill) {
        *begun = -1;
        arguments[2] = std::to_string(next);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        QCOMPARE(::posix_spawn(&pid, KILL_DRIVER, nullptr, nullptr, argv.data(), environ), 0);
        // Wait for the first step, then let it run for up to three milliseconds; now and then kill at once,
        // before or inside the first step.
        if (random.bounded(8) != 0) {
            QElapsedTimer started;
            started.start();
            while (__atomic_load_n(begun, __ATOMIC_ACQUIRE) < 0 && started.elapsed() < 10000)
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(3000)));
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(20000)));
        }
        ::kill(pid, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        if (!WIFSIGNALED(status))
            QFAIL(qPrintable(QStringLiteral("the driver stopped by itself with code %1 at step %2")
                                 .arg(WEXITSTATUS(status))
                                 .arg(*begun)));

        const std::int64_t current = __atomic_load_n(begun, __ATOMIC_ACQUIRE);
        if (current < 0) {
            ++killedBeforeAStep;
        } else {
            for (; next < current; ++next) {
                const KillPlan::Step step = KillPlan::step(next);
                auto& model = models[int(step.target)];
                model = applied(model, step);
            }
        }
        // The step under way, when there is one, may be found not begun or complete.
        for (int i = 0; i < 3; ++i) {
            const QByteArray disk = contents(paths[i]);
            if (disk == models[i]) {
                if (current >= 0 && int(KillPlan::step(current).target) == i)
                    ++oldFound[i];
                continue;
            }
            QByteArray complete;
            if (current >= 0 && int(KillPlan::step(current).target) == i)
                complete = applied(models[i], KillPlan::step(current));
            if (disk != complete)
                QFAIL(qPrintable(
                    QStringLiteral("kill %1, during step %2: %3 holds %4; expected %5%6")
                        .arg(QString::number(kill), QString::number(current), paths[i], shown(disk, models[i]),
                            shown(models[i], disk), complete.isEmpty() ? QString() : " or " + shown(complete, disk))));
            ++newFound[i];
            models[i] = complete;
        }
        if (current >= 0)
            next = current + 1;

        // Beside each settings file: the file itself and at most the temporary of the write just killed.
        const auto others = [](const QString& folder) {
            return int(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size()) - 1;
        };
        const int temporaries = others(renamedDir);
        mostTemporaries = std::max(mostTemporaries, temporaries);
        if (temporaries > 1)
            QFAIL(qPrintable(QStringLiteral("kill %1: %2 temporary files beside %3: %4")
                                 .arg(kill)
                                 .arg(temporaries)
                                 .arg(paths[0])
                                 .arg(QDir(renamedDir).entryList(QDir::Hidden | QDir::Files).join(' '))));
        QCOMPARE(others(inPlaceDir), 0);
    }

    // The folder closed to the driver kept its file: every write there went in place.
    struct stat inPlaceAfter { };
    QVERIFY(::stat(QFile::encodeName(paths[1]).constData(), &inPlaceAfter) == 0);
    QCOMPARE(inPlaceAfter.st_ino, inPlaceBefore.st_ino);
    QVERIFY(next > 30);
    qInfo("%d kills in %lld s, %lld steps done; the step under way was found not begun / complete: settings by "
          "rename %d / %d, settings in place %d / %d, patched byte %d / %d; %d kills before the first step; at most "
          "%d temporary file beside the settings",
        kills, clock.elapsed() / 1000, static_cast<long long>(next), oldFound[0], newFound[0], oldFound[1], newFound[1],
        oldFound[2], newFound[2], killedBeforeAStep, mostTemporaries);
}

QTEST_MAIN(tst_KillAtAnyInstant)
#include "tst_KillAtAnyInstant.moc"
