// Start-up and memory against a bare Qt window: the program with a remembered file (10 KB, 100 MB and a sparse
// 3 GiB one, each loading a full block before the window shows), bench/bare_window and bench/label_window (the
// floor of any window that draws text), started alternately as processes, 15 runs each. Start-up is the time from
// starting the process to its report of the first painted window; memory is the resident size once the window is idle.
//   start-up  at most 1.4x the bare window's;
//   memory    at most the bare window's plus 6 MB;
//   the figures of the three files within 15% of each other.

#include "bench/BenchFile.h"
#include "bench/Median.h"
#include "support/StrHF.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int StartRuns = 15;

struct Run {
    double startMs = 0;
    double rssMiB = 0;
};

// Starts one program and waits for its two reports.
Run startOnce(const QString& program, const QStringList& arguments)
{
    QProcess process;
    // The platform's notes on stderr would drown the figures.
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    Run run;
    QByteArray output;
    while (!output.contains("rss ")) {
        if (!process.waitForReadyRead(10000))
            qFatal("%s gave no report", qPrintable(program));
        output += process.readAllStandardOutput();
        if (run.startMs == 0 && output.contains("painted"))
            run.startMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }
    while (!output.endsWith('\n') && process.waitForReadyRead(1000))
        output += process.readAllStandardOutput();
    process.waitForFinished(5000);
    const qsizetype at = output.indexOf("rss ");
    run.rssMiB = output.mid(at + 4).trimmed().toDouble() / 1024.0;
    return run;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString here = QCoreApplication::applicationDirPath();
    const QString bare = here + QStringLiteral("/bare_window");
    const QString label = here + QStringLiteral("/label_window");
    const QString window = here + QStringLiteral("/window_startup");

    QTemporaryDir temporary;
    struct Case {
        const char* label;
        qint64 size;
        bool sparse;
        QString dir;
    };
    std::vector<Case> cases = { { "10 KB", 10240, false, {} }, { "100 MB", qint64(100) << 20, false, {} },
        { "3 GiB sparse", qint64(3) << 30, true, {} } };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        // A settings folder each, remembering its file at offset 0.
        Case& each = cases[i];
        each.dir = temporary.filePath(QString::number(i)) + QLatin1Char('/');
        QDir().mkpath(each.dir);
        const std::string dir = each.dir.toStdString();
        makeFile(dir + "file.bin", each.size, each.sparse);
        SettingsWriteString(dir + "Quillmoor.ini", "File", "NameFile", dir + "file.bin");
        SettingsWriteInt(dir + "Quillmoor.ini", "File", "StartByte", 0);
    }

    // One untimed start each, so that no figure pays for a cold disk cache.
    startOnce(bare, {});
    startOnce(label, {});
    for (const Case& each : cases)
        startOnce(window, { each.dir });
    std::vector<double> bareStart, bareRss, labelStart, labelRss;
    std::vector<std::vector<double>> start(cases.size()), rss(cases.size());
    for (int i = 0; i < StartRuns; ++i) {
        const Run b = startOnce(bare, {});
        bareStart.push_back(b.startMs);
        bareRss.push_back(b.rssMiB);
        const Run l = startOnce(label, {});
        labelStart.push_back(l.startMs);
        labelRss.push_back(l.rssMiB);
        for (std::size_t c = 0; c < cases.size(); ++c) {
            const Run w = startOnce(window, { cases[c].dir });
            start[c].push_back(w.startMs);
            rss[c].push_back(w.rssMiB);
        }
    }
    const double bareMs = median(bareStart);
    const double bareMiB = median(bareRss);
    std::printf(
        "Medians of %d starts each, alternating, platform %s.\n\n", StartRuns, qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("%-13s %10s %7s %9s %9s\n", "", "start-up", "ratio", "RSS", "over bare");
    std::printf("%-13s %10s %7s %9s %9s\n", "", "ms", "<=1.4", "MB", "<=6 MB");
    std::printf("%-13s %10.1f %7s %9.1f %9s\n", "bare window", bareMs, "1.00", bareMiB, "");
    std::printf("%-13s %10.1f %7.2f %9.1f %9.1f\n", "one label", median(labelStart), median(labelStart) / bareMs,
        median(labelRss), median(labelRss) - bareMiB);
    for (std::size_t c = 0; c < cases.size(); ++c) {
        const double ms = median(start[c]);
        const double mib = median(rss[c]);
        std::printf("%-13s %10.1f %7.2f %9.1f %9.1f\n", cases[c].label, ms, ms / bareMs, mib, mib - bareMiB);
    }
    return 0;
}
