#pragma once

// Checks that must run as another user or under a process-wide limit, each in a fresh process: the test binary
// started again with the check's name, its conditions and its inputs, and caught in its own main before the test
// runner starts. That process runs one thread, so dropping root or lowering RLIMIT_FSIZE there is safe, where a
// fork of the threaded test process (Qt's threads, a sanitizer's) could wait forever on a lock held at the fork.
//
// A check is declared once at namespace scope, where every start of the binary registers it:
//
//     const FreshProcess::Check writeAsNobody("writeAsNobody", [](const FreshProcess::Inputs& inputs) {
//         return std::string(); // what went wrong, "" when nothing
//     });
//
// and a test runs it with QVERIFY2(...problem(inputs, conditions).empty(), ...). The binary's main comes from
// FRESH_PROCESS_TEST_MAIN or FRESH_PROCESS_GUILESS_TEST_MAIN instead of QTEST_MAIN or QTEST_GUILESS_MAIN.

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>

namespace FreshProcess {

using Inputs = std::vector<std::string>;
// Gives what the check found wrong, or "" when nothing.
using Body = std::function<std::string(const Inputs&)>;

struct Conditions {
    // Root ignores file modes, so a check of what a read-only file or folder refuses runs as the user nobody when
    // the test runs as root. Anyone else is already bound by the modes and runs it as themselves.
    bool withoutRoot = false;
    // Files may grow no larger, as on a full disk: a write past it fails with EFBIG instead of raising a signal.
    std::optional<rlim_t> fileSizeLimit;

    Conditions& limitFileSize(rlim_t bytes)
    {
        fileSizeLimit = bytes;
        return *this;
    }
};

inline Conditions withoutRoot()
{
    Conditions conditions;
    conditions.withoutRoot = true;
    return conditions;
}

inline Conditions fileSizeLimit(rlim_t bytes)
{
    return Conditions().limitFileSize(bytes);
}

// Long enough for a check on a loaded machine under the sanitizers, well within the test's own time limit.
inline constexpr int TimeLimitMs = 120000;
inline constexpr const char* Option = "--fresh-process-check";
inline constexpr uid_t NobodyUser = 65534;
inline constexpr gid_t NobodyGroup = 65534;

inline std::map<std::string, Body>& registry()
{
    static std::map<std::string, Body> checks;
    return checks;
}

class Check {
public:
    Check(std::string name, Body body)
        : m_name(std::move(name))
    {
        if (!registry().emplace(m_name, std::move(body)).second)
            qFatal("two fresh-process checks are named %s", m_name.c_str());
    }

    // Runs the check in a fresh process under the conditions and gives what it found wrong, or why it did not
    // finish; "" when all held.
    std::string problem(const Inputs& inputs, const Conditions& conditions = {}) const
    {
        QStringList arguments { QLatin1String(Option), QString::fromStdString(m_name) };
        if (conditions.withoutRoot)
            arguments << QStringLiteral("--without-root");
        if (conditions.fileSizeLimit)
            arguments << QStringLiteral("--file-size-limit") << QString::number(*conditions.fileSizeLimit);
        arguments << QStringLiteral("--");
        for (const std::string& input : inputs)
            arguments << QFile::decodeName(QByteArray::fromStdString(input));

        QProcess process;
        process.start(QCoreApplication::applicationFilePath(), arguments);
        const std::string failed = "the check " + m_name + " ";
        if (!process.waitForStarted(TimeLimitMs))
            return failed + "did not start: " + process.errorString().toStdString();
        if (!process.waitForFinished(TimeLimitMs)) {
            process.kill();
            process.waitForFinished();
            return failed + "did not end within " + std::to_string(TimeLimitMs / 1000) + " s";
        }
        const std::string found = process.readAllStandardOutput().toStdString();
        const std::string said = process.readAllStandardError().toStdString();
        if (process.exitStatus() != QProcess::NormalExit)
            return failed + "crashed: " + said;
        if (process.exitCode() == 0 && found.empty())
            return {};
        if (process.exitCode() == 1 && !found.empty())
            return found;
        return failed + "ended with status " + std::to_string(process.exitCode()) + ": " + found + said;
    }

private:
    std::string m_name;
};

// The first thing the test binary's main does: when started to run a check, runs it and gives the exit status
// (0 when it found nothing wrong, 1 with what it found on the standard output, 2 when it could not be run).
inline std::optional<int> runIfAsked(int argc, char** argv)
{
    if (argc < 3 || std::string_view(argv[1]) != Option)
        return std::nullopt;
    const std::string name = argv[2];
    bool withoutRoot = false;
    std::optional<rlim_t> fileSizeLimit;
    int next = 3;
    for (; next < argc && std::string_view(argv[next]) != "--"; ++next) {
        const std::string_view option = argv[next];
        if (option == "--without-root") {
            withoutRoot = true;
        } else if (option == "--file-size-limit" && next + 1 < argc) {
            fileSizeLimit = std::strtoull(argv[++next], nullptr, 10);
        } else {
            std::fprintf(stderr, "unknown condition %s\n", argv[next]);
            return 2;
        }
    }
    const Inputs inputs(argv + std::min(next + 1, argc), argv + argc);

    const auto found = registry().find(name);
    if (found == registry().end()) {
        std::fprintf(stderr, "no check named %s\n", name.c_str());
        return 2;
    }
    if (withoutRoot && ::geteuid() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(NobodyGroup, NobodyGroup, NobodyGroup) != 0
            || ::setresuid(NobodyUser, NobodyUser, NobodyUser) != 0) {
            std::perror("cannot become the user nobody");
            return 2;
        }
    }
    if (fileSizeLimit) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { *fileSizeLimit, *fileSizeLimit };
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            std::perror("cannot limit the file size");
            return 2;
        }
    }
    const std::string problem = found->second(inputs);
    std::fwrite(problem.data(), 1, problem.size(), stdout);
    std::fflush(stdout);
    return problem.empty() ? 0 : 1;
}

} // namespace FreshProcess

#define FRESH_PROCESS_RUN_IF_ASKED                                                                                     \
    if (const std::optional<int> freshProcessStatus = FreshProcess::runIfAsked(argc, argv))                            \
        return *freshProcessStatus;

// QTEST_MAIN and QTEST_GUILESS_MAIN, with a check run instead of the tests when the command line asks for one.
#define FRESH_PROCESS_TEST_MAIN(TestObject)                                                                            \
    QTEST_MAIN_WRAPPER(TestObject, FRESH_PROCESS_RUN_IF_ASKED QTEST_MAIN_SETUP())
#define FRESH_PROCESS_GUILESS_TEST_MAIN(TestObject)                                                                    \
    QTEST_MAIN_WRAPPER(TestObject, FRESH_PROCESS_RUN_IF_ASKED QTEST_QAPP_SETUP(QCoreApplication))
