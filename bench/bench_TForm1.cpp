// Measures the window's own commands on the offscreen platform, for a 10 KB file, a 1 MiB one, a 100 MB one and a
// sparse 8 GiB one: going to the start of the file (a block loaded into the shown grid, pending events processed
// every 256 rows, as always, and the position stored), one page step, and the report of a full block; and the
// commands whose work must not grow with the file's size, set against the 1 MiB file's own: opening the file
// through the open dialog, going to its end, and going to its middle through the go-to prompt. Every figure is a
// median and is set against a baseline measured in the same run, since the machine's speed moves from run to run
// while the ratios stay:
//   baseline   one read of the 8193 bytes and their 41k texts formatted, without any grid;
//   load       going to the start; beside it the same with the grid not painting, which shows how much of it the
//              one repaint of the rows in view is, and the settings write alone;
//   page step  one next-block command against going to the start: the same work, from another place;
//   report     8193 rows into a new file at most 2x the baseline.
// What a user feels of a step, from the key to the rows painted, is bench_Keys's.

#include "bench/BenchFile.h"
#include "bench/BenchWindow.h"
#include "mainwindow/TForm1.h"
#include "support/StrHF.h"
#include "tests/ScriptedDialogs.h"
#include "tests/mainwindow/RowOracle.h"

#include "bench/Median.h"
#include "bench/Offscreen.h"
#include "ui/grid/ByteGrid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <time.h>
#include <vector>

namespace {

// The four value texts of a byte copied from a table of strings made once: how the window made them when it set
// every cell's text on a load. The baseline keeps that cost, whatever the program's own formatting now does.
std::array<std::string, 4> tableTexts(std::uint8_t v)
{
    static const std::array<std::array<std::string, 4>, 256> table = [] {
        std::array<std::array<std::string, 4>, 256> made;
        for (std::size_t each = 0; each < made.size(); ++each)
            made[each] = valueTexts(static_cast<std::uint8_t>(each));
        return made;
    }();
    return table[v];
}

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
        for (const std::string& text : tableTexts(static_cast<std::uint8_t>(block[i])))
            total += text.size();
    }
    return total;
}

struct Figures {
    double baseline = 0;
    double load = 0;
    // The same load with the grid not painting: what the load itself does, apart from the one repaint of the
    // rows in view that the first processed events bring.
    double unpainted = 0;
    double settingsWrite = 0;
    double step = 0;
    double report = 0;
    double open = 0;
    double end = 0;
    double goTo = 0;
    double stepCpu = 0;
    double openCpu = 0;
    double endCpu = 0;
    double goToCpu = 0;
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

// One file under measure: its own settings folder and window, and the samples of each figure.
struct Case {
    const char* label;
    std::string dir;
    std::string path;
    qint64 size = 0;
    bool sparse = false;
    std::unique_ptr<TForm1> form;
    std::vector<double> baseline, load, unpainted, write, step, report, baselineCpu, loadCpu, reportCpu, open, end,
        goTo, stepCpu, openCpu, endCpu, goToCpu;
};

void open(Case& each)
{
    makeFile(each.path, each.size, each.sparse);
    each.form = windowOn(each.dir, each.path);
}

double timed(const std::function<void()>& run, std::vector<double>* cpu = nullptr)
{
    settle();
    const double cpuBefore = cpuMs();
    QElapsedTimer timer;
    timer.start();
    run();
    const double wall = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (cpu)
        cpu->push_back(cpuMs() - cpuBefore);
    return wall;
}

// One round of every figure for one file.
void measureRound(Case& each, ScriptedDialogs& dialogs, int round, std::size_t& sink)
{
    TForm1& form = *each.form;
    const std::string settings = each.dir + "Quillmoor.ini";
    const std::string report = each.dir + "report.TXT";
    each.baseline.push_back(timed([&] { sink += baselineLoad(each.path, 0); }, &each.baselineCpu));
    each.load.push_back(timed([&] { form.N3Click(); }, &each.loadCpu));
    QWidget* pixels = form.findChild<ByteGrid*>(QStringLiteral("SG1"))->viewport();
    pixels->setUpdatesEnabled(false);
    each.unpainted.push_back(timed([&] { form.N3Click(); }));
    pixels->setUpdatesEnabled(true);
    each.write.push_back(timed([&] { SettingsWriteInt(settings, "File", "StartByte", round); }));
    form.N3Click();
    each.step.push_back(timed([&] { form.SpinButton1DownClick(); }, &each.stepCpu));
    form.N3Click();
    // A new report file each time: overwriting one makes the file system write the old one's blocks first.
    QFile::remove(QString::fromStdString(report));
    dialogs.fileAnswers.push_back(report);
    each.report.push_back(timed([&] { form.N1Click(); }, &each.reportCpu));
    each.end.push_back(timed([&] { form.N4Click(); }, &each.endCpu));
    dialogs.promptAnswers.push_back(std::to_string(each.size / 2));
    each.goTo.push_back(timed([&] { form.N5Click(); }, &each.goToCpu));
    dialogs.fileAnswers.push_back(each.path);
    each.open.push_back(timed([&] { form.SpeedButton1Click(); }, &each.openCpu));
}

Figures figuresOf(const Case& each)
{
    Figures figures;
    figures.baseline = median(each.baseline);
    figures.load = median(each.load);
    figures.unpainted = median(each.unpainted);
    figures.settingsWrite = median(each.write);
    figures.step = median(each.step);
    figures.report = median(each.report);
    figures.baselineCpu = median(each.baselineCpu);
    figures.loadCpu = median(each.loadCpu);
    figures.reportCpu = median(each.reportCpu);
    figures.open = median(each.open);
    figures.end = median(each.end);
    figures.goTo = median(each.goTo);
    figures.stepCpu = median(each.stepCpu);
    figures.openCpu = median(each.openCpu);
    figures.endCpu = median(each.endCpu);
    figures.goToCpu = median(each.goToCpu);
    return figures;
}

// How far apart the files' figures lie: the largest over the smallest, less one, in percent.
double spread(const std::vector<Figures>& all, double Figures::*figure)
{
    double least = all.front().*figure;
    double most = least;
    for (const Figures& each : all) {
        least = std::min(least, each.*figure);
        most = std::max(most, each.*figure);
    }
    return (most / least - 1) * 100;
}

} // namespace

int main(int argc, char* argv[])
{
    runOffscreenQuietly();
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    const std::string dir = temporary.path().toStdString() + "/";

    std::vector<Case> cases(4);
    cases[0] = { "10 KB", dir + "ten/", "", 10240, false };
    cases[1] = { "1 MiB", dir + "mebi/", "", qint64(1) << 20, false };
    cases[2] = { "100 MB", dir + "hundred/", "", qint64(100) << 20, false };
    cases[3] = { "8 GiB sparse", dir + "sparse/", "", qint64(8) << 30, true };
    ScriptedDialogs dialogs;
    for (Case& each : cases) {
        QDir().mkpath(QString::fromStdString(each.dir));
        each.path = each.dir + "file.bin";
        open(each);
    }
    // Rounds interleaved over the files too, so that a slow moment of the machine weighs on every figure
    // of every file alike.
    std::size_t sink = 0;
    for (int round = 0; round < Runs; ++round)
        for (Case& each : cases)
            measureRound(each, dialogs, round, sink);
    if (sink == 0)
        std::printf("(the baseline read nothing)\n");

    std::printf("Medians of %d runs, offscreen platform; ratios against the same run's baselines.\n\n", Runs);
    std::printf("%-13s %9s %9s %7s %9s %9s %7s %9s %7s\n", "file", "baseline", "load", "ratio", "write", "step",
        "ratio", "report", "ratio");
    std::printf("%-13s %9s %9s %7s %9s %9s %7s %9s %7s\n", "", "ms", "ms", "", "ms", "ms", "~1", "ms", "<=2");
    std::vector<Figures> all;
    for (const Case& each : cases) {
        const Figures f = figuresOf(each);
        all.push_back(f);
        std::printf("%-13s %9.3f %9.3f %7.2f %9.3f %9.3f %7.2f %9.3f %7.2f\n", each.label, f.baseline, f.load,
            f.load / f.baseline, f.settingsWrite, f.step, f.step / f.load, f.report, f.report / f.baseline);
        std::printf("%-13s %9.3f %9.3f %7.2f %9s %9s %7s %9.3f %7.2f\n", "  CPU time", f.baselineCpu, f.loadCpu,
            f.loadCpu / f.baselineCpu, "", "", "", f.reportCpu, f.reportCpu / f.baselineCpu);
        std::printf("%-13s %9s %9.3f %7.2f\n", "  unpainted", "", f.unpainted, f.unpainted / f.baseline);
        QFile::remove(QString::fromStdString(each.path));
    }
    std::printf("%-13s %9s %8.0f%% %7s %9s %8.0f%% %7s %8.0f%% %7s\n", "spread <=15%", "", spread(all, &Figures::load),
        "", "", spread({ all.begin() + 1, all.end() }, &Figures::step), "", spread(all, &Figures::report), "");
    std::printf("\nbaseline: one read of 8193 bytes + their 41k texts formatted; step: one next-block command "
                "against going to the start; report: 8193 rows against the baseline; spread: the largest "
                "figure of the files over the smallest. The 10 KB file's next block holds 2048 bytes, so its step "
                "loads a quarter of the rows and the step's spread is that of the others. unpainted: the load with "
                "the grid not painting, the rest of a load being the repaint of the rows in view.\n");

    const Figures& small = all[1];
    std::printf("\n%-13s %9s %7s %9s %7s %9s %7s %9s %7s\n", "file", "open", "ratio", "step", "ratio", "end", "ratio",
        "go to", "ratio");
    std::printf("%-13s %9s %7s %9s %7s %9s %7s %9s %7s\n", "", "ms", "~1", "ms", "~1", "ms", "~1", "ms", "~1");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Figures& f = all[i];
        std::printf("%-13s %9.3f %7.2f %9.3f %7.2f %9.3f %7.2f %9.3f %7.2f\n", cases[i].label, f.open,
            f.open / small.open, f.step, f.step / small.step, f.end, f.end / small.end, f.goTo, f.goTo / small.goTo);
        std::printf("%-13s %9.3f %7.2f %9.3f %7.2f %9.3f %7.2f %9.3f %7.2f\n", "  CPU time", f.openCpu,
            f.openCpu / small.openCpu, f.stepCpu, f.stepCpu / small.stepCpu, f.endCpu, f.endCpu / small.endCpu,
            f.goToCpu, f.goToCpu / small.goToCpu);
    }
    std::printf("\nopen: the open command through the dialog; end: the end of the file; go to: its middle through the "
                "go-to prompt; ratios against the 1 MiB file's, which no work that grows with the file's size may "
                "move. The wall times wait on the settings file's fdatasync, in steps of the kernel's tick on a "
                "busy machine; the CPU time is the work.\n");
    return 0;
}
