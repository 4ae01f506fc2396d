#pragma once

#include "mainwindow/TForm1.h"
#include "support/Cp1251.h"
#include "tests/ScriptedDialogs.h"
#include "tests/mainwindow/RowOracle.h"
#include "ui/EventGuard.h"
#include "ui/grid/ByteGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <QDropEvent>
#include <QMimeData>
#include <QWindow>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/stat.h>

// What the window's tests share: files with a recognisable byte at every offset in a temporary folder that
// also holds the settings file, scripted dialogs, the window itself, and the user's ways into it.

inline std::string cp(const char* utf8)
{
    return Cp1251::fromUtf8(utf8);
}

// A recognisable byte for every offset, so that a row showing the wrong offset is caught.
inline char patternByte(qint64 offset)
{
    return static_cast<char>((offset * 37 + 11) & 0xFF);
}

inline QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = patternByte(i);
    return bytes;
}

// Through the standard streams, which take the path's bytes as they are: QFile would need it as a QString,
// which a name that is not valid UTF-8 does not survive.
inline QByteArray contents(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return QByteArray("<missing>");
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return QByteArray::fromStdString(bytes);
}

inline void put(const std::string& path, const QByteArray& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f.write(bytes.constData(), bytes.size()) || !f.flush())
        qFatal("cannot write %s", path.c_str());
}

// The settings file as an open command leaves it.
inline QByteArray settingsFor(const std::string& file, int start)
{
    return "[File]\r\nNameFile=" + QByteArray::fromStdString(file) + "\r\nStartByte=" + QByteArray::number(start)
        + "\r\n";
}

class WindowFixture {
protected:
    // From the test class's init() and cleanup().
    void setUpWindowTest()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        // Tests that drop privileges run as nobody and must reach the files.
        ::chmod(QFile::encodeName(m_dir->path()).constData(), 0755);
        m_dialogs = std::make_unique<ScriptedDialogs>();
    }
    void tearDownWindowTest()
    {
        m_form.reset();
        m_dialogs.reset();
        // A test may have closed the folder to its writes; open, it is removed whole.
        ::chmod(QFile::encodeName(m_dir->path()).constData(), 0755);
        m_dir.reset();
    }

    std::string makeFile(const char* name, qint64 size)
    {
        const std::string path = m_dir->filePath(QString::fromLatin1(name)).toStdString();
        put(path, pattern(size));
        return path;
    }

    // startFile as given on the command line.
    [[nodiscard]] std::unique_ptr<TForm1> makeForm(bool show = false, const std::string& startFile = {})
    {
        auto form = std::make_unique<TForm1>(m_dir->path().toStdString() + "/", startFile);
        if (show) {
            form->show();
            if (!QTest::qWaitForWindowExposed(form.get()))
                qWarning("window not exposed");
            QApplication::setActiveWindow(form.get());
        }
        return form;
    }

    [[nodiscard]] ByteGrid* grid() const { return m_form->findChild<ByteGrid*>(QStringLiteral("SG1")); }
    [[nodiscard]] std::string settings() const
    {
        return m_dir->filePath(QStringLiteral("Quillmoor.ini")).toStdString();
    }

    // As the open button runs it: inside the guard, so an error ends in the (scripted) error box.
    void openThroughTheDialog(const std::string& path)
    {
        m_dialogs->fileAnswers.push_back(path);
        guarded([this] { m_form->SpeedButton1Click(); });
    }

    // What the window answered to a drag of data that comes in at pos (in the window's coordinates), moves
    // there and is dropped. Sent to the window's QWindow, as the platform sends them, so that Qt routes them to
    // the widget under pos as it does a real drag.
    struct DragAnswer {
        bool entered = false;
        bool moved = false;
        bool dropped = false; // taken, and as a copy: the source keeps its data
    };
    DragAnswer dragAndDrop(QMimeData& data, QPoint pos, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
    {
        QWindow* window = m_form->windowHandle();
        DragAnswer answer;
        if (!window)
            return answer;
        QDragEnterEvent enter(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &enter);
        answer.entered = enter.isAccepted();
        QDragMoveEvent move(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &move);
        answer.moved = move.isAccepted();
        QDropEvent drop(QPointF(pos), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &drop);
        answer.dropped = drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
        return answer;
    }

    // A file URL for the path's bytes, as a file manager puts it on a drag.
    static QUrl fileUrl(const std::string& path)
    {
        return QUrl(
            QStringLiteral("file://") + QString::fromLatin1(QByteArray::fromStdString(path).toPercentEncoding("/")),
            QUrl::StrictMode);
    }

    // Drops path onto the grid, where a user most likely lets go of it.
    void dropFile(const std::string& path)
    {
        QMimeData data;
        data.setUrls({ fileUrl(path) });
        QWidget* viewport = grid()->viewport();
        const DragAnswer answer = dragAndDrop(data, viewport->mapTo(m_form.get(), viewport->rect().center()));
        QVERIFY(answer.entered && answer.moved && answer.dropped);
    }

    // A command that moves the block, by letter (d next, u previous, s start, e end, g go to the answer), run
    // as its control runs it: inside the guard, so an error ends in the (scripted) error box.
    void blockCommand(char command, const std::string& answer = {})
    {
        if (command == 'g')
            m_dialogs->promptAnswers.push_back(answer);
        guarded([this, command] {
            switch (command) {
            case 'd':
                m_form->SpinButton1DownClick();
                break;
            case 'u':
                m_form->SpinButton1UpClick();
                break;
            case 's':
                m_form->N3Click();
                break;
            case 'e':
                m_form->N4Click();
                break;
            case 'g':
                m_form->N5Click();
                break;
            }
        });
    }

    void tickWriteSwitch()
    {
        auto* box = m_form->findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        QVERIFY(box->isChecked());
    }

    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : grid();
        QTest::keyClick(target, key, modifiers);
    }

    // Sent as key events with their text, so that letters outside Latin-1 arrive as typed.
    void typeInEditor(const QString& text)
    {
        // A character at a time, as a keyboard or an input method gives it: a pair of surrogates in one event.
        for (const char32_t ch : text.toUcs4()) {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : grid();
            const QString one = QString::fromUcs4(&ch, 1);
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key(one.toUpper().front().unicode()), one, Qt::NoModifier);
        }
    }

    void focusCell(int col, int row)
    {
        grid()->setFocus();
        key(Qt::Key_Home, Qt::ControlModifier);
        for (int r = 1; r < row; ++r)
            key(Qt::Key_Down);
        for (int c = 1; c < col; ++c)
            key(Qt::Key_Right);
        QCOMPARE(grid()->currentCol(), col);
        QCOMPARE(grid()->currentRow(), row);
    }

    // Rows 1 to count show consecutive offsets from the start with the file's bytes, and the grid has no other
    // data row; with no count, every row is checked.
    void verifyRowsShowTheFile(const std::string& path, int count = -1)
    {
        const QByteArray bytes = contents(path);
        const std::int64_t start = m_form->startByte();
        if (count >= 0)
            QCOMPARE(grid()->rowCount(), std::max(2, count + 1));
        else
            count = grid()->rowCount() - 1;
        for (std::int32_t r = 1; r <= count; ++r) {
            const std::int64_t offset = start + r - 1;
            QVERIFY2(offset < bytes.size(), qPrintable(QStringLiteral("row %1 beyond the file").arg(r)));
            QVERIFY2(grid()->cell(0, r) == offsetText(offset), qPrintable(QStringLiteral("offset of row %1").arg(r)));
            const auto texts = valueTexts(static_cast<std::uint8_t>(bytes[qsizetype(offset)]));
            for (int col = 1; col <= 4; ++col)
                QVERIFY2(grid()->cell(col, r) == texts[col - 1],
                    qPrintable(QStringLiteral("cell (%1, %2)").arg(col).arg(r)));
        }
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TForm1> m_form;
};
