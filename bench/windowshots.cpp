// Drives the main window through a fixed series of commands on the offscreen platform and saves the window's
// pixels, as they stand on screen after each command has been processed, to numbered PNG files. Running it from
// two builds and comparing the folders (windowshots --compare) shows whether a change altered what the user sees.
//
// The pixels come from the window's backing store, not from a fresh rendering: a cell that a change forgot to
// redraw shows as the stale pixels it left.
//
// Usage: windowshots OUTPUT_DIR
//        windowshots --compare BEFORE_DIR AFTER_DIR   (exit status 1 when any picture differs)

#include "mainwindow/TForm1.h"
#include "support/StrHF.h"
#include "tests/ScriptedDialogs.h"
#include "ui/EventGuard.h"
#include "ui/grid/ByteGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// Fixed, so that the path box shows the same text in every run.
const QString FilesDir = QStringLiteral("/tmp/quillmoor-windowshots");

void writeFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 37 + 11) & 0xFF);
    file.write(bytes);
}

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }
    QTest::qWait(20);
    QCoreApplication::processEvents();
}

class Shots {
public:
    Shots(QWidget& window, QString dir)
        : m_window(window)
        , m_dir(std::move(dir))
    {
    }

    void take(const char* name)
    {
        settle();
        const QPixmap pixels = m_window.screen()->grabWindow(m_window.winId());
        const QString path = QStringLiteral("%1/%2-%3.png")
                                 .arg(m_dir)
                                 .arg(++m_count, 2, 10, QLatin1Char('0'))
                                 .arg(QString::fromLatin1(name));
        if (!pixels.save(path))
            qFatal("cannot save %s", qPrintable(path));
    }

private:
    QWidget& m_window;
    QString m_dir;
    int m_count = 0;
};

void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    if (target)
        QTest::keyClick(target, key, modifiers);
}

// Compares the pictures of two folders pixel by pixel; prints each that differs and how many pixels do.
int compare(const QString& before, const QString& after)
{
    const QStringList names = QDir(before).entryList({ QStringLiteral("*.png") }, QDir::Files, QDir::Name);
    if (names.isEmpty() || names != QDir(after).entryList({ QStringLiteral("*.png") }, QDir::Files, QDir::Name)) {
        std::printf("the folders do not hold the same pictures\n");
        return 1;
    }
    int differing = 0;
    for (const QString& name : names) {
        const QImage a(before + QLatin1Char('/') + name);
        const QImage b(after + QLatin1Char('/') + name);
        if (a == b)
            continue;
        ++differing;
        qint64 pixels = -1;
        if (a.size() == b.size()) {
            const QImage ca = a.convertToFormat(QImage::Format_ARGB32);
            const QImage cb = b.convertToFormat(QImage::Format_ARGB32);
            pixels = 0;
            for (int y = 0; y < ca.height(); ++y)
                for (int x = 0; x < ca.width(); ++x)
                    pixels += ca.pixel(x, y) != cb.pixel(x, y);
        }
        std::printf("%s differs (%lld pixels)\n", qPrintable(name), static_cast<long long>(pixels));
    }
    std::printf("%lld pictures, %d differ\n", static_cast<long long>(names.size()), differing);
    return differing == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--compare") == 0)
        return compare(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc != 2) {
        std::fprintf(stderr, "usage: windowshots OUTPUT_DIR | --compare BEFORE_DIR AFTER_DIR\n");
        return 2;
    }
    // A blinking caret would make two runs differ.
    QApplication::setCursorFlashTime(0);
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QDir(FilesDir).removeRecursively();
    QDir().mkpath(FilesDir);
    const QString big = FilesDir + QStringLiteral("/twenty.bin");
    const QString empty = FilesDir + QStringLiteral("/empty.bin");
    writeFile(big, 20000);
    writeFile(empty, 0);
    const std::string dir = FilesDir.toStdString() + "/";
    SettingsWriteString(dir + "Quillmoor.ini", "File", "NameFile", big.toStdString());
    SettingsWriteInt(dir + "Quillmoor.ini", "File", "StartByte", 0);

    ScriptedDialogs dialogs;
    TForm1 form(dir);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    QApplication::setActiveWindow(&form);
    auto* grid = form.findChild<ByteGrid*>(QStringLiteral("SG1"));
    grid->setFocus();
    Shots shots(form, out);
    const auto run = [](const std::function<void()>& command) { guarded(command); };

    shots.take("start");
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    key(Qt::Key_Right);
    shots.take("moved");
    key(Qt::Key_PageDown);
    shots.take("page-down");
    key(Qt::Key_Down, Qt::ShiftModifier);
    key(Qt::Key_Right, Qt::ShiftModifier);
    shots.take("range");
    key(Qt::Key_End, Qt::ControlModifier);
    shots.take("ctrl-end");
    run([&] { form.SpinButton1DownClick(); });
    shots.take("next-block");
    for (int i = 0; i < 3; ++i)
        grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    shots.take("bar-pages");
    grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    shots.take("bar-bottom");
    run([&] { form.SpinButton1UpClick(); });
    shots.take("previous-block");
    run([&] { form.N4Click(); });
    shots.take("end-block");
    run([&] { form.N3Click(); });
    shots.take("start-block");
    dialogs.promptAnswers.push_back("5000");
    run([&] { form.N5Click(); });
    shots.take("go-to");

    // Cells written directly: one on screen, and rows far below that are then scrolled into view.
    grid->setCell(2, 3, "written");
    for (int row = 3000; row < 5000; ++row)
        grid->setCell(3, row, "far " + std::to_string(row));
    shots.take("cell-written");
    grid->setFocus();
    for (int i = 0; i < 3998; i += 14)
        key(Qt::Key_PageDown);
    shots.take("far-cell-shown");
    run([&] { form.N3Click(); });
    shots.take("reloaded");

    auto* writeSwitch = form.findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    QTest::mouseClick(writeSwitch, Qt::LeftButton, {}, QPoint(8, writeSwitch->height() / 2));
    shots.take("write-on");
    grid->setFocus();
    key(Qt::Key_Home, Qt::ControlModifier);
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    shots.take("editor-open");
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("7F"));
    shots.take("typed");
    key(Qt::Key_Down);
    shots.take("committed");
    key(Qt::Key_Up);
    key(Qt::Key_Up);
    key(Qt::Key_Return);
    run([&] { form.SpinButton1DownClick(); });
    shots.take("next-with-editor");
    key(Qt::Key_Escape);
    key(Qt::Key_Return);
    run([&] { form.SpinButton1UpClick(); });
    shots.take("previous-after-editor");

    dialogs.promptAnswers.push_back("200");
    run([&] { form.N01Click(); });
    shots.take("wide-offsets");
    dialogs.fileAnswers.push_back(empty.toStdString());
    run([&] { form.SpeedButton1Click(); });
    shots.take("empty-file");
    dialogs.fileAnswers.push_back(big.toStdString());
    run([&] { form.SpeedButton1Click(); });
    shots.take("reopened");
    form.resize(700, 300);
    shots.take("resized");
    key(Qt::Key_End, Qt::ControlModifier);
    run([&] { form.N4Click(); });
    shots.take("end-after-resize");
    return 0;
}
