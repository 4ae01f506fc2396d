// Measures the window's own commands on the offscreen platform, for a 10 KB file, a 100 MB one and a sparse
// 3 GiB one: a block load into the shown grid (pending events processed every 256 rows, as always), one page
// step, and the report of a full block. Every figure is a median and is set against a baseline measured in the
// same run, since the machine's speed moves from run to run while the ratios stay:
//   baseline   one read of the 8193 bytes and their 41k texts formatted, without any grid;
//   load       at most 4x the baseline;
//   page step  one next-block command (commit check, load, stored position) at most 1.6x one load plus one
//              settings write;
//   report     8193 rows into a new file at most 2x the baseline.

#include "bench/BenchFile.h"
#include "mainwindow/RowFormat.h"
#include "mainwindow/TForm1.h"
#include "support/StrHF.h"
#include "tests/ScriptedDialogs.h"

#include "bench/Median.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <time.h>
#include <vector>

namespace {

// One read of the whole block and the same texts, kept so the work is not optimised away.
std::size_t baselineLoad(const std::string& path, qint64 start)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly) || !file.seek(start))
        return 0;
    const QByteArray block = file.read(8193);
    std::size_t total = 0;
    for (qsizetype i = 0; i < block.size(); ++i) {
        total += offsetText(start + i).size();
        for (const std::string& text : valueTexts(static_cast<std::uint8_t>(block[i])))
            total += text.size();
    }
    return total;
}

struct Figures {
    double baseline = 0;
    double load = 0;
    double settingsWrite = 0;
    double step = 0;
    double report = 0;
    // The same in the process's CPU time, which a busy machine does not inflate by waiting in the run queue.
    double baselineCpu = 0;
    double loadCpu = 0;
    double reportCpu = 0;
};

double cpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Lets the work a command leaves behind run before the next is timed, as a user's pause between two commands
// does: the file dialogs' folder views, for one, catch up on the files a report or a settings write changed.
void settle()
{
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 3)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

Figures measure(const std::string& dir, const std::string& path)
{
    const std::string settings = dir + "Quillmoor.ini";
    SettingsWriteString(settings, "File", "NameFile", path);
    SettingsWriteInt(settings, "File", "StartByte", 0);
    ScriptedDialogs dialogs;

    auto form = std::make_unique<TForm1>(dir);
    form->show();
    while (!form->windowHandle() || !form->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();

    std::size_t sink = 0;
    const std::string report = dir + "report.TXT";
    // Interleaved rounds, so that a slow moment of the machine weighs on every figure alike.
    std::vector<double> baseline, load, write, step, reportMs, baselineCpu, loadCpu, reportCpu;
    const auto timed = [](const std::function<void()>& run, std::vector<double>* cpu = nullptr) {
        settle();
        const double cpuBefore = cpuMs();
        QElapsedTimer timer;
        timer.start();
        run();
        const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (cpu)
            cpu->push_back(cpuMs() - cpuBefore);
        return wall;
    };
    for (int i = 0; i < Runs; ++i) {
        baseline.push_back(timed([&] { sink += baselineLoad(path, 0); }, &baselineCpu));
        load.push_back(timed([&] { form->LoadBlock(0); }, &loadCpu));
        write.push_back(timed([&] { SettingsWriteInt(settings, "File", "StartByte", i); }));
        form->N3Click();
        step.push_back(timed([&] { form->SpinButton1DownClick(); }));
        form->N3Click();
        // A new report file each time: overwriting one makes the file system write the old one's blocks first.
        QFile::remove(QString::fromStdString(report));
        dialogs.fileAnswers.push_back(report);
        reportMs.push_back(timed([&] { form->N1Click(); }, &reportCpu));
    }
    Figures figures;
    figures.baseline = median(baseline);
    figures.load = median(load);
    figures.settingsWrite = median(write);
    figures.step = median(step);
    figures.report = median(reportMs);
    figures.baselineCpu = median(baselineCpu);
    figures.loadCpu = median(loadCpu);
    figures.reportCpu = median(reportCpu);
    if (sink == 0)
        std::printf("(the baseline read nothing)\n");
    return figures;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notes about window hints would drown the figures.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type != QtDebugMsg && type != QtWarningMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    const std::string dir = temporary.path().toStdString() + "/";

    struct Case {
        const char* label;
        std::string path;
        qint64 size;
        bool sparse;
    };
    const std::vector<Case> cases = {
        { "10 KB", dir + "ten.bin", 10240, false },
        { "100 MB", dir + "hundred.bin", qint64(100) << 20, false },
        { "3 GiB sparse", dir + "sparse.bin", qint64(3) << 30, true },
    };
    std::printf("Medians of %d runs, offscreen platform; ratios against the same run's baselines.\n\n", Runs);
    std::printf("%-13s %9s %9s %7s %9s %9s %7s %9s %7s\n", "file", "baseline", "load", "ratio", "write", "step",
        "ratio", "report", "ratio");
    std::printf("%-13s %9s %9s %7s %9s %9s %7s %9s %7s\n", "", "ms", "ms", "<=4", "ms", "ms", "<=1.6", "ms", "<=2");
    for (const Case& each : cases) {
        makeFile(each.path, each.size, each.sparse);
        const Figures f = measure(dir, each.path);
        std::printf("%-13s %9.3f %9.3f %7.2f %9.3f %9.3f %7.2f %9.3f %7.2f\n", each.label, f.baseline, f.load,
            f.load / f.baseline, f.settingsWrite, f.step, f.step / (f.load + f.settingsWrite), f.report,
            f.report / f.baseline);
        std::printf("%-13s %9.3f %9.3f %7.2f %9s %9s %7s %9.3f %7.2f\n", "  CPU time", f.baselineCpu, f.loadCpu,
            f.loadCpu / f.baselineCpu, "", "", "", f.reportCpu, f.reportCpu / f.baselineCpu);
        QFile::remove(QString::fromStdString(each.path));
    }
    std::printf("\nbaseline: one read of 8193 bytes + their 41k texts formatted; step: one next-block command "
                "against one load + one settings write; report: 8193 rows against the baseline.\n");
    return 0;
}
