// Measures the window's own commands on the offscreen platform: a block load into the shown grid (pending
// events processed every 256 rows, as always), the page step, the report of a full block, and start-up to the
// first painted window with a remembered file; for a 10 KB file and a sparse 3 GiB one. The baseline, in the
// same process, reads the same block with one read call and formats it without any grid.

#include "mainwindow/RowFormat.h"
#include "mainwindow/TForm1.h"
#include "support/StrHF.h"
#include "tests/ScriptedDialogs.h"
#include "ui/grid/ByteGrid.h"

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

// Signals the first paint of a widget.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void measure(const char* label, const std::string& dir, const std::string& path, qint32 farStart)
{
    SettingsWriteString(dir + "Quillmoor.ini", "File", "NameFile", path);
    SettingsWriteInt(dir + "Quillmoor.ini", "File", "StartByte", 0);
    ScriptedDialogs dialogs;

    const double startUp = medianMs(
        [&] {
            PaintWatch watch;
            TForm1 form(dir);
            form.findChild<ByteGrid*>(QStringLiteral("SG1"))->viewport()->installEventFilter(&watch);
            form.show();
            while (!watch.painted)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        },
        9);

    auto form = std::make_unique<TForm1>(dir);
    form->show();
    while (!form->windowHandle() || !form->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double load = medianMs([&] { form->LoadBlock(0); });
    const double far = medianMs([&] { form->LoadBlock(farStart); });
    std::size_t sink = 0;
    const double baseline = medianMs([&] { sink += baselineLoad(path, 0); });
    const double step = medianMs([&] {
        form->N3Click();
        form->SpinButton1DownClick();
    });
    form->N3Click();
    const std::string report = dir + "report.TXT";
    const double reportMs = medianMs([&] {
        dialogs.fileAnswers.push_back(report);
        form->N1Click();
    });

    std::printf("%s\n", label);
    std::printf("  start-up to the first painted window  %8.2f ms\n", startUp);
    std::printf("  LoadBlock of 8193 rows from 0         %8.2f ms   (baseline read+format %.2f ms, ratio %.1f)\n", load,
        baseline, load / baseline);
    std::printf("  LoadBlock of the block at %-10d   %8.2f ms\n", farStart, far);
    std::printf("  go to start + next block (two loads)  %8.2f ms\n", step);
    std::printf("  report of 8193 rows                   %8.2f ms\n", reportMs);
    if (sink == 0)
        std::printf("  (baseline read nothing)\n");
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

    const std::string small = dir + "ten.bin";
    {
        QFile file(QString::fromStdString(small));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray bytes(10240, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 37);
        file.write(bytes);
    }
    const std::string sparse = dir + "sparse.bin";
    {
        QFile file(QString::fromStdString(sparse));
        if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(3) << 30))
            return 1;
    }
    std::printf("Medians of %d runs (start-up: 9), offscreen platform.\n", Runs);
    measure("10 KB file", dir, small, 2048);
    measure("sparse 3 GiB file", dir, sparse, 2147483647 - 8191);
    return 0;
}
