#include "mainwindow/TForm1.h"
#include "support/StrHF.h"
#include "tests/PrivilegeDrop.h"
#include "tests/ScriptedDialogs.h"
#include "tests/mainwindow/WindowFixture.h"
#include "ui/grid/ByteGrid.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

// The ways to a file besides the open dialog: a file named on the command line (also what the file manager's
// "Open With" does) and a file dropped onto the window. Each must end in the state the open dialog leaves, and
// what cannot be opened must leave the window as it was.
class tst_OpenWays : public QObject, protected WindowFixture {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void everyWayOpensTheFileToTheSameState_data();
    void everyWayOpensTheFileToTheSameState();
    void aStartFileThatCannotBeReadLeavesTheStartAsWithout_data();
    void aStartFileThatCannotBeReadLeavesTheStartAsWithout();
    void aDropIsRefusedUnlessItCarriesOneLocalFile_data();
    void aDropIsRefusedUnlessItCarriesOneLocalFile();
    void aDroppedFileThatCannotBeReadShowsTheErrorAndChangesNothing();

private:
    // A file to open, in a folder of its own so that the open dialog's preset shows, and a remembered file
    // shown at its second block, so that opening visibly changes everything.
    void rememberAnotherFileAtItsSecondBlock();
    [[nodiscard]] QString sizeShown() const { return m_form->findChild<QLabel*>(QStringLiteral("LabelSizeF"))->text(); }
    [[nodiscard]] QPoint centreOf(QWidget* widget) const
    {
        return widget->mapTo(m_form.get(), widget->rect().center());
    }
    [[nodiscard]] QPoint place(const QString& where);
    void verifyTheRememberedFileIsShown();

    std::string m_remembered;
    QByteArray m_settingsBefore;
};

void tst_OpenWays::init()
{
    setUpWindowTest();
}

void tst_OpenWays::cleanup()
{
    tearDownWindowTest();
}

void tst_OpenWays::rememberAnotherFileAtItsSecondBlock()
{
    m_remembered = makeFile("remembered.bin", 20000);
    SettingsWriteString(settings(), "File", "NameFile", m_remembered);
    SettingsWriteInt(settings(), "File", "StartByte", 8192);
    m_settingsBefore = contents(settings());
}

void tst_OpenWays::verifyTheRememberedFileIsShown()
{
    QCOMPARE(m_form->currentFile(), m_remembered);
    QCOMPARE(m_form->startByte(), 8192);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Файл : ") + QString::fromStdString(m_remembered));
    QCOMPARE(sizeShown(), QStringLiteral("20000"));
    verifyRowsShowTheFile(m_remembered, 8193);
    QCOMPARE(contents(settings()), m_settingsBefore);
}

// Where a drop lands: on the path box and the cell editor, which would each take a URL as text of their own,
// on the grid, and on the bar at the bottom, which takes nothing.
QPoint tst_OpenWays::place(const QString& where)
{
    if (where == QLatin1String("path box"))
        return centreOf(m_form->findChild<QLineEdit*>(QStringLiteral("EditNameF")));
    if (where == QLatin1String("cell editor")) {
        QLineEdit* editor = grid()->inplaceEditor();
        if (!editor->isVisible()) {
            if (!m_form->findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->isChecked())
                tickWriteSwitch();
            focusCell(1, 2);
            key(Qt::Key_F2);
        }
        if (!editor->isVisible())
            qWarning("the cell editor is not shown");
        return centreOf(editor);
    }
    if (where == QLatin1String("bottom bar"))
        return centreOf(m_form->findChild<QLabel*>(QStringLiteral("Label2")));
    return centreOf(grid()->viewport());
}

void tst_OpenWays::everyWayOpensTheFileToTheSameState_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QByteArray>("name");
    const QByteArray plain = "fw image.bin";
    // Not valid UTF-8: the file opened must be the one named, byte for byte.
    const QByteArray foreign = "fw \xff\xe0-\xd0\xaf.bin";
    for (const char* way :
        { "dialog", "command line", "drop on grid", "drop on path box", "drop on cell editor", "drop on bottom bar" }) {
        QTest::addRow("%s", way) << QString::fromLatin1(way) << plain;
        QTest::addRow("%s, name not UTF-8", way) << QString::fromLatin1(way) << foreign;
    }
}

void tst_OpenWays::everyWayOpensTheFileToTheSameState()
{
    QFETCH(QString, way);
    QFETCH(QByteArray, name);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
    const std::string subdir = m_dir->filePath(QStringLiteral("sub")).toStdString();
    const std::string path = subdir + "/" + name.toStdString();
    put(path, pattern(10000));
    // QTemporaryDir cannot remove a name that is not valid UTF-8.
    const std::unique_ptr<const char, void (*)(const char*)> removeFile(
        path.c_str(), [](const char* name) { ::unlink(name); });
    rememberAnotherFileAtItsSecondBlock();

    if (way == QLatin1String("command line")) {
        m_form = makeForm(true, path);
    } else {
        m_form = makeForm(true);
        verifyTheRememberedFileIsShown();
        if (way == QLatin1String("dialog")) {
            openThroughTheDialog(path);
        } else {
            QMimeData data;
            data.setUrls({ fileUrl(path) });
            const DragAnswer answer = dragAndDrop(data, place(way.mid(QStringLiteral("drop on ").size())));
            QVERIFY(answer.entered);
            QVERIFY(answer.moved);
            QVERIFY(answer.dropped);
        }
    }

    QCOMPARE(m_form->windowTitle(), QStringLiteral("Файл : ") + QFile::decodeName(QByteArray::fromStdString(path)));
    QCOMPARE(m_form->currentFile(), path);
    QCOMPARE(sizeShown(), QStringLiteral("10000"));
    QCOMPARE(m_form->startByte(), 0);
    verifyRowsShowTheFile(path, 8193);
    QCOMPARE(contents(settings()), "[File]\r\nNameFile=" + QByteArray::fromStdString(path) + "\r\nStartByte=0\r\n");
    QCOMPARE(m_dialogs->texts("notice"), std::vector<std::string>());
    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string>());
    // The open dialog starts in the file's folder.
    m_dialogs->fileAnswers.push_back(std::nullopt);
    m_form->SpeedButton1Click();
    auto* od1 = m_form->findChild<QFileDialog*>(QStringLiteral("OD1"));
    QVERIFY(od1);
    QCOMPARE(QDir(od1->directory()).canonicalPath(), QDir(QString::fromStdString(subdir)).canonicalPath());
}

void tst_OpenWays::aStartFileThatCannotBeReadLeavesTheStartAsWithout_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("remembered");
    for (const char* kind : { "missing", "folder", "FIFO", "device", "no read right" })
        QTest::addRow("%s", kind) << QString::fromLatin1(kind) << true;
    QTest::newRow("missing, nothing remembered") << QStringLiteral("missing") << false;
    QTest::newRow("FIFO, nothing remembered") << QStringLiteral("FIFO") << false;
}

void tst_OpenWays::aStartFileThatCannotBeReadLeavesTheStartAsWithout()
{
    QFETCH(QString, kind);
    QFETCH(bool, remembered);
    if (remembered)
        rememberAnotherFileAtItsSecondBlock();
    std::string bad = m_dir->filePath(QStringLiteral("bad")).toStdString();
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("bad")));
    else if (kind == QLatin1String("FIFO"))
        QCOMPARE(::mkfifo(bad.c_str(), 0666), 0);
    else if (kind == QLatin1String("device"))
        bad = "/dev/null";
    else if (kind == QLatin1String("no read right")) {
        put(bad, pattern(100));
        QCOMPARE(::chmod(bad.c_str(), 0), 0);
    }

    {
        // Root reads any file: the window starts as the user nobody.
        std::optional<ActAsNobody> nobody;
        if (kind == QLatin1String("no read right"))
            nobody.emplace();
        m_form = makeForm(false, bad);
    }
    // The error is said once the window is up, not before.
    QVERIFY(m_dialogs->shown.empty());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QTRY_COMPARE(m_dialogs->texts("notice"), std::vector { cp("Ошибка при открытии файла") });
    if (remembered) {
        verifyTheRememberedFileIsShown();
    } else {
        QCOMPARE(m_form->currentFile(), std::string());
        QCOMPARE(grid()->rowCount(), 2);
        QVERIFY(!QFile::exists(QString::fromStdString(settings())));
    }
    QCOMPARE(m_dialogs->shown.size(), std::size_t(1));
}

void tst_OpenWays::aDropIsRefusedUnlessItCarriesOneLocalFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("where");
    for (const char* kind : { "two files", "folder", "web address", "file on another host", "text", "FIFO", "device",
             "missing file", "move only", "while a dialog is up" })
        QTest::addRow("%s on grid", kind) << QString::fromLatin1(kind) << QStringLiteral("grid");
    for (const char* where : { "path box", "cell editor", "bottom bar" }) {
        QTest::addRow("text on %s", where) << QStringLiteral("text") << QString::fromLatin1(where);
        QTest::addRow("two files on %s", where) << QStringLiteral("two files") << QString::fromLatin1(where);
    }
}

void tst_OpenWays::aDropIsRefusedUnlessItCarriesOneLocalFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, where);
    const std::string a = makeFile("a.bin", 50);
    const std::string b = makeFile("b.bin", 50);
    const std::string fifo = m_dir->filePath(QStringLiteral("fifo")).toStdString();
    QCOMPARE(::mkfifo(fifo.c_str(), 0666), 0);
    rememberAnotherFileAtItsSecondBlock();
    m_form = makeForm(true);
    // An edit is pending, and a refused drop leaves it so.
    tickWriteSwitch();
    focusCell(1, 3);
    typeInEditor(QStringLiteral("AB"));
    QVERIFY(m_form->editPending());
    const QString pathBoxBefore = m_form->findChild<QLineEdit*>(QStringLiteral("EditNameF"))->text();

    QMimeData data;
    Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    if (kind == QLatin1String("two files"))
        data.setUrls({ fileUrl(a), fileUrl(b) });
    else if (kind == QLatin1String("folder"))
        data.setUrls({ fileUrl(m_dir->path().toStdString()) });
    else if (kind == QLatin1String("web address"))
        data.setUrls({ QUrl(QStringLiteral("https://example.org/a.bin")) });
    else if (kind == QLatin1String("text"))
        data.setText(QString::fromStdString(a));
    else if (kind == QLatin1String("FIFO"))
        data.setUrls({ fileUrl(fifo) });
    else if (kind == QLatin1String("file on another host"))
        data.setUrls({ QUrl(QStringLiteral("file://server") + QString::fromStdString(a)) });
    else if (kind == QLatin1String("device"))
        data.setUrls({ fileUrl("/dev/zero") });
    else if (kind == QLatin1String("missing file"))
        data.setUrls({ fileUrl(a + ".gone") });
    else if (kind == QLatin1String("move only")) {
        // Taking a move would tell the source to delete its file.
        data.setUrls({ fileUrl(a) });
        actions = Qt::MoveAction;
    }
    // A drop would run its command inside the dialog's own.
    QDialog dialog(m_form.get());
    if (kind == QLatin1String("while a dialog is up")) {
        data.setUrls({ fileUrl(a) });
        dialog.setModal(true);
        dialog.show();
    }
    const DragAnswer answer = dragAndDrop(data, place(where), actions);
    QVERIFY(!answer.entered);
    QVERIFY(!answer.moved);
    QVERIFY(!answer.dropped);

    QCOMPARE(m_form->findChild<QLineEdit*>(QStringLiteral("EditNameF"))->text(), pathBoxBefore);
    QVERIFY(m_form->editPending());
    QCOMPARE(contents(m_remembered), pattern(20000));
    QCOMPARE(m_form->currentFile(), m_remembered);
    QCOMPARE(m_form->startByte(), 8192);
    QCOMPARE(contents(settings()), m_settingsBefore);
    QVERIFY(m_dialogs->shown.empty());
}

void tst_OpenWays::aDroppedFileThatCannotBeReadShowsTheErrorAndChangesNothing()
{
    // A regular file is taken by the drag; that it cannot be read shows only when it is dropped.
    const std::string locked = makeFile("locked.bin", 100);
    QCOMPARE(::chmod(locked.c_str(), 0), 0);
    rememberAnotherFileAtItsSecondBlock();
    m_form = makeForm(true);
    QMimeData data;
    data.setUrls({ fileUrl(locked) });
    DragAnswer answer;
    {
        const ActAsNobody nobody;
        answer = dragAndDrop(data, centreOf(grid()->viewport()));
    }
    QVERIFY(answer.entered);
    QVERIFY(answer.dropped);
    QCOMPARE(m_dialogs->texts("notice"), std::vector { cp("Ошибка при открытии файла") });
    verifyTheRememberedFileIsShown();
}

QTEST_MAIN(tst_OpenWays)
#include "tst_OpenWays.moc"
