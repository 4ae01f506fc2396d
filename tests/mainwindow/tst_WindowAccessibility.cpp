#include "mainwindow/TForm1.h"
#include "tests/ScriptedDialogs.h"
#include "ui/Accessibility.h"
#include "ui/AccessibilityFactory.h"
#include "ui/grid/ByteGrid.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <functional>

namespace {
// The first bytes of the viewed file: a control character, a Cyrillic letter, a Latin one and the highest byte.
const QByteArray Bytes("\x0B\xC0\x41\xFF\x00\x20\x98", 7);

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList rowTexts(QAccessibleInterface* table, int row)
{
    QStringList texts;
    for (int col = 0; col < table->tableInterface()->columnCount(); ++col)
        texts << table->tableInterface()->cellAt(row, col)->text(QAccessible::Name);
    return texts;
}

// Any letter of the Russian alphabet.
bool russian(const QString& text)
{
    static const QRegularExpression letters(QStringLiteral("[А-Яа-яЁё]"));
    return text.contains(letters);
}

// Every interface under root, depth first, the grid's cells left out (their texts are the file's).
void walk(QAccessibleInterface* root, const std::function<void(QAccessibleInterface*)>& visit)
{
    visit(root);
    if (root->role() == QAccessible::Table)
        return;
    for (int i = 0; i < root->childCount(); ++i)
        if (QAccessibleInterface* child = root->child(i))
            walk(child, visit);
}
} // namespace

// The real window with a small file loaded, read the way a screen reader reads it.
class tst_WindowAccessibility : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void theLoadedBlockReadsRowByRowAsShown_data();
    void theLoadedBlockReadsRowByRowAsShown();
    void downFocusesTheByteBelowWithItsHeaders();
    void aCommittedEditIsHeardAndReadsAsTheNewByte();
    void theWriteSwitchDrivesEditingHoweverItChanges_data();
    void theWriteSwitchDrivesEditingHoweverItChanges();
    void aByteTypedAfterTheToggleActionIsWritten();
    void everyControlHasANameInTheProgramsLanguage_data();
    void everyControlHasANameInTheProgramsLanguage();
    void noControlIsLeftWithoutAName();
    void theFileSizeIsReadWithItsNumber();
    void theValueWindowReadsAsATableWithNamesAndIsHeardAsTheRowMoves();
    void theChecksumWindowReadsAsATableWithNamesAndIsHeardAsTheSelectionMoves();

private:
    [[nodiscard]] ByteGrid* grid() const { return m_form->findChild<ByteGrid*>(QStringLiteral("SG1")); }
    [[nodiscard]] QAccessibleInterface* table() const { return QAccessible::queryAccessibleInterface(grid()); }
    void key(Qt::Key key);
    void type(const QString& text);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TForm1> m_form;
    QString m_path;
    QStringList m_heard;
};

void tst_WindowAccessibility::init()
{
    installAccessibility();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0755);
    m_path = m_dir->filePath(QStringLiteral("bytes.bin"));
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Bytes) == Bytes.size());
    file.close();
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_form = std::make_unique<TForm1>(m_dir->path().toStdString() + "/");
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QApplication::setActiveWindow(m_form.get());
    m_dialogs->fileAnswers.push_back(QFile::encodeName(m_path).toStdString());
    m_form->SpeedButton1Click();
    QCOMPARE(grid()->rowCount(), Bytes.size() + 1);
    grid()->setFocus();
    QVERIFY(grid()->hasFocus());
    QCoreApplication::processEvents();
    m_heard.clear();
    setAccessibilityEventSink([this](QAccessibleEvent& event) {
        QAccessibleInterface* subject = event.accessibleInterface();
        const QString text = subject ? subject->text(QAccessible::Name) : QString();
        switch (event.type()) {
        case QAccessible::Focus:
            m_heard << QStringLiteral("focus \"%1\"").arg(text);
            break;
        case QAccessible::NameChanged:
            m_heard << QStringLiteral("name \"%1\"").arg(text);
            break;
        case QAccessible::SelectionWithin:
            m_heard << QStringLiteral("selection");
            break;
        case QAccessible::SelectionAdd:
        case QAccessible::SelectionRemove:
            // Per cell, for the cells a reader holds: the grid's own tests follow them.
            break;
        default:
            m_heard << QStringLiteral("event %1").arg(event.type());
            break;
        }
    });
}

void tst_WindowAccessibility::cleanup()
{
    setAccessibilityEventSink({});
    m_form.reset();
    m_dialogs.reset();
    m_dir.reset();
}

void tst_WindowAccessibility::key(Qt::Key key)
{
    QTest::keyClick(QApplication::focusWidget(), key);
}

void tst_WindowAccessibility::type(const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(
            QTest::Click, QApplication::focusWidget(), Qt::Key(ch.toUpper().unicode()), QString(ch), Qt::NoModifier);
}

void tst_WindowAccessibility::theLoadedBlockReadsRowByRowAsShown_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("the headers") << 0
                                 << QStringList { QStringLiteral("Nбайта"), QStringLiteral("Hex"),
                                        QStringLiteral("Dec"), QStringLiteral("Bin"), QStringLiteral("Ascii") };
    QTest::newRow("a control character") << 1
                                         << QStringList { QStringLiteral("00000000 (0)"), QStringLiteral("0B"),
                                                QStringLiteral("11"), QStringLiteral("00001011"),
                                                QStringLiteral("<...>") };
    QTest::newRow("a Cyrillic letter") << 2
                                       << QStringList { QStringLiteral("00000001 (1)"), QStringLiteral("C0"),
                                              QStringLiteral("192"), QStringLiteral("11000000"), QStringLiteral("А") };
    QTest::newRow("the highest byte") << 4
                                      << QStringList { QStringLiteral("00000003 (3)"), QStringLiteral("FF"),
                                             QStringLiteral("255"), QStringLiteral("11111111"), QStringLiteral("я") };
    QTest::newRow("the byte the code page leaves out")
        << 7
        << QStringList { QStringLiteral("00000006 (6)"), QStringLiteral("98"), QStringLiteral("152"),
               QStringLiteral("10011000"), QString(QChar(0x98)) };
}

void tst_WindowAccessibility::theLoadedBlockReadsRowByRowAsShown()
{
    QFETCH(int, row);
    QFETCH(QStringList, texts);
    QCOMPARE(table()->text(QAccessible::Name), QStringLiteral("Таблица байтов"));
    QCOMPARE(table()->tableInterface()->rowCount(), Bytes.size() + 1);
    QCOMPARE(rowTexts(table(), row), texts);
    if (row > 0) {
        QAccessibleTableCellInterface* value = table()->tableInterface()->cellAt(row, 2)->tableCellInterface();
        QCOMPARE(value->columnHeaderCells().value(0)->text(QAccessible::Name), QStringLiteral("Dec"));
        QCOMPARE(value->rowHeaderCells().value(0)->text(QAccessible::Name), texts.first());
    }
}

void tst_WindowAccessibility::downFocusesTheByteBelowWithItsHeaders()
{
    QCOMPARE(table()->focusChild()->text(QAccessible::Name), QStringLiteral("0B"));
    key(Qt::Key_Down);
    QCOMPARE(m_heard, QStringList({ QStringLiteral("selection"), QStringLiteral("focus \"C0\"") }));
    QAccessibleInterface* focused = table()->focusChild();
    QCOMPARE(focused->text(QAccessible::Name), QStringLiteral("C0"));
    QVERIFY(focused->state().focused && focused->state().selected);
    QCOMPARE(
        focused->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name), QStringLiteral("Hex"));
    QCOMPARE(focused->tableCellInterface()->rowHeaderCells().value(0)->text(QAccessible::Name),
        QStringLiteral("00000001 (1)"));
}

void tst_WindowAccessibility::aCommittedEditIsHeardAndReadsAsTheNewByte()
{
    auto* writeSwitch = m_form->findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    QTest::mouseClick(writeSwitch, Qt::LeftButton, {}, QPoint(8, writeSwitch->height() / 2));
    QVERIFY(writeSwitch->isChecked());
    grid()->setFocus();
    key(Qt::Key_Down);
    QCoreApplication::processEvents();
    m_heard.clear();

    // Typed in lower case, committed by moving on: the row is rewritten from the byte written.
    type(QStringLiteral("fe"));
    key(Qt::Key_Down);
    QCoreApplication::processEvents();
    QCOMPARE(m_heard,
        QStringList({ QStringLiteral("name \"f\""), QStringLiteral("name \"fe\""), QStringLiteral("name \"FE\""),
            QStringLiteral("selection"), QStringLiteral("focus \"41\"") }));
    QCOMPARE(contents(m_path).at(1), '\xFE');
    QCOMPARE(rowTexts(table(), 2),
        QStringList({ QStringLiteral("00000001 (1)"), QStringLiteral("FE"), QStringLiteral("254"),
            QStringLiteral("11111110"), QStringLiteral("ю") }));
}

void tst_WindowAccessibility::theWriteSwitchDrivesEditingHoweverItChanges_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("click") << QStringLiteral("click");
    QTest::newRow("space") << QStringLiteral("space");
    QTest::newRow("a screen reader's toggle action") << QStringLiteral("toggle");
    QTest::newRow("code") << QStringLiteral("code");
}

void tst_WindowAccessibility::theWriteSwitchDrivesEditingHoweverItChanges()
{
    QFETCH(QString, way);
    auto* writeSwitch = m_form->findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    const auto change = [&] {
        if (way == QLatin1String("click")) {
            QTest::mouseClick(writeSwitch, Qt::LeftButton, {}, QPoint(8, writeSwitch->height() / 2));
        } else if (way == QLatin1String("space")) {
            writeSwitch->setFocus();
            QTest::keyClick(writeSwitch, Qt::Key_Space);
        } else if (way == QLatin1String("toggle")) {
            QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(writeSwitch)->actionInterface();
            QVERIFY(actions && actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
            actions->doAction(QAccessibleActionInterface::toggleAction());
        } else {
            writeSwitch->setChecked(!writeSwitch->isChecked());
        }
    };
    for (const bool on : { true, false, true }) {
        change();
        QCOMPARE(writeSwitch->isChecked(), on);
        QCOMPARE(grid()->editing(), on);
        // Red, darkened to read 4.5 to 1 on the default palette's window.
        QCOMPARE(writeSwitch->palette().color(QPalette::WindowText), on ? QColor(0xD9, 0, 0) : QColor(Qt::black));
    }
}

void tst_WindowAccessibility::aByteTypedAfterTheToggleActionIsWritten()
{
    auto* writeSwitch = m_form->findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    QAccessible::queryAccessibleInterface(writeSwitch)
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(writeSwitch->isChecked());
    grid()->setFocus();
    key(Qt::Key_Down);
    key(Qt::Key_F2);
    QVERIFY(grid()->inplaceEditor()->hasFocus());
    QCOMPARE(table()->focusChild()->text(QAccessible::Name), QStringLiteral("Hex, 00000001 (1)"));
    type(QStringLiteral("ab"));
    key(Qt::Key_Down);
    QCOMPARE(contents(m_path).at(1), '\xAB');
}

void tst_WindowAccessibility::everyControlHasANameInTheProgramsLanguage_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");
    QTest::newRow("write switch") << QStringLiteral("CheckBox1") << int(QAccessible::CheckBox)
                                  << QStringLiteral("Разрешить запись на диск");
    QTest::newRow("attribution") << QStringLiteral("Label2") << int(QAccessible::StaticText)
                                 << QStringLiteral("Quillmoor · побайтно");
    QTest::newRow("size caption") << QStringLiteral("Label1") << int(QAccessible::StaticText)
                                  << QStringLiteral("Размер (байт) = ");
    QTest::newRow("size") << QStringLiteral("LabelSizeF") << int(QAccessible::StaticText)
                          << QStringLiteral("Размер файла в байтах: 7");
    QTest::newRow("file group") << QStringLiteral("GroupBox1") << int(QAccessible::Grouping)
                                << QStringLiteral("Файл : ");
    QTest::newRow("block navigator") << QStringLiteral("SpinButton1") << int(QAccessible::Grouping)
                                     << QStringLiteral("Переход по блокам");
    QTest::newRow("path box") << QStringLiteral("EditNameF") << int(QAccessible::EditableText)
                              << QStringLiteral("Путь к файлу");
    QTest::newRow("open button") << QStringLiteral("SpeedButton1") << int(QAccessible::Button)
                                 << QStringLiteral("Открыть файл");
    QTest::newRow("byte table") << QStringLiteral("SG1") << int(QAccessible::Table) << QStringLiteral("Таблица байтов");
}

void tst_WindowAccessibility::everyControlHasANameInTheProgramsLanguage()
{
    QFETCH(QString, objectName);
    QFETCH(int, role);
    QFETCH(QString, name);
    auto* control = m_form->findChild<QWidget*>(objectName);
    QVERIFY(control);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
    QVERIFY(iface);
    QCOMPARE(int(iface->role()), role);
    QCOMPARE(iface->text(QAccessible::Name), name);
}

void tst_WindowAccessibility::noControlIsLeftWithoutAName()
{
    // Whatever a reader stops at (a control, a text, a button of the spin button) says what it is in Russian;
    // panels and the untitled frame around the table only group. The checksum window's too.
    QTest::keyClick(grid(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    auto* checksums = m_form->findChild<QWidget*>(QStringLiteral("ChecksumWindow"));
    QVERIFY(checksums && checksums->isVisible());
    QStringList unnamed;
    const auto visit = [&unnamed](QAccessibleInterface* iface) {
        switch (iface->role()) {
        case QAccessible::Client:
        case QAccessible::Border:
        case QAccessible::ScrollBar:
        case QAccessible::Grouping:
            if (iface->childCount() > 0 || iface->text(QAccessible::Name).isEmpty())
                return;
            break;
        default:
            break;
        }
        const QString name = iface->text(QAccessible::Name);
        if (!russian(name))
            unnamed << QStringLiteral("%1 (role %2): \"%3\"")
                           .arg(iface->object() ? iface->object()->objectName() : QStringLiteral("<part>"))
                           .arg(iface->role())
                           .arg(name);
    };
    walk(QAccessible::queryAccessibleInterface(m_form.get()), visit);
    walk(QAccessible::queryAccessibleInterface(checksums), visit);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral("; "))));
}

void tst_WindowAccessibility::theFileSizeIsReadWithItsNumber()
{
    // A label's name replaces its text for a screen reader, which then has no way to the number.
    QAccessibleInterface* size
        = QAccessible::queryAccessibleInterface(m_form->findChild<QWidget*>(QStringLiteral("LabelSizeF")));
    const QString heard = size->text(QAccessible::Name) + QLatin1Char(' ') + size->text(QAccessible::Description);
    QVERIFY2(heard.contains(QString::number(Bytes.size())), qPrintable(heard));
}

void tst_WindowAccessibility::theValueWindowReadsAsATableWithNamesAndIsHeardAsTheRowMoves()
{
    key(Qt::Key_F12);
    auto* values = m_form->findChild<QTableWidget*>(QStringLiteral("ValueTable"));
    QVERIFY(values && values->isVisible());
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(values);
    QCOMPARE(table->text(QAccessible::Name), QStringLiteral("Значения"));
    // Named by their column and row, as a screen reader asks the table.
    QCOMPARE(table->tableInterface()->columnDescription(2), QStringLiteral("Обратный (BE)"));
    QCOMPARE(table->tableInterface()->rowDescription(4), QStringLiteral("int32"));
    QAccessibleInterface* int32BE = table->tableInterface()->cellAt(4, 2);
    QCOMPARE(int32BE->text(QAccessible::Name), QString::number(0x0BC041FF));
    m_heard.clear();
    QApplication::setActiveWindow(m_form.get());
    grid()->setFocus();
    key(Qt::Key_Down);
    QCOMPARE(int32BE->text(QAccessible::Name), QString::number(qint32(0xC041FF00)));
    // The value window's current cell, int8 LE, is heard with its new value.
    QVERIFY2(m_heard.contains(QStringLiteral("name \"-64\"")), qPrintable(m_heard.join(QLatin1Char(','))));
    // A type of one byte order has no second cell to stop at; a value's editor is named as its cell is.
    QCOMPARE(values->item(13, 2)->flags(), Qt::NoItemFlags);
    auto* writeSwitch = m_form->findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    QTest::mouseClick(writeSwitch, Qt::LeftButton, {}, QPoint(8, writeSwitch->height() / 2));
    values->setCurrentCell(4, 2);
    values->editItem(values->item(4, 2));
    auto* editor = values->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    QCOMPARE(editor->accessibleName(), QStringLiteral("int32, Обратный (BE)"));
}

void tst_WindowAccessibility::theChecksumWindowReadsAsATableWithNamesAndIsHeardAsTheSelectionMoves()
{
    QTest::keyClick(grid(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    auto* sums = m_form->findChild<QTableWidget*>(QStringLiteral("ChecksumTable"));
    QVERIFY(sums && sums->isVisible());
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(sums);
    QCOMPARE(table->text(QAccessible::Name), QStringLiteral("Контрольные суммы"));
    QCOMPARE(table->tableInterface()->columnDescription(2), QStringLiteral("Байты LE"));
    QCOMPARE(table->tableInterface()->rowDescription(9), QStringLiteral("Sum-32"));
    // The 32-bit sum of the current row's byte, 0B, in both orders.
    QTRY_COMPARE(rowTexts(table, 9), QStringList({ "Sum-32", "0000000B", "0B 00 00 00", "00 00 00 0B" }));
    m_heard.clear();
    QApplication::setActiveWindow(m_form.get());
    grid()->setFocus();
    key(Qt::Key_Down);
    QTRY_COMPARE(rowTexts(table, 9), QStringList({ "Sum-32", "000000C0", "C0 00 00 00", "00 00 00 C0" }));
    // The current cell, CRC-32's value, is heard with its new value.
    const QString crc = table->tableInterface()->cellAt(0, 1)->text(QAccessible::Name);
    QVERIFY2(m_heard.contains(QStringLiteral("name \"%1\"").arg(crc)), qPrintable(m_heard.join(QLatin1Char(','))));
}

QTEST_MAIN(tst_WindowAccessibility)
#include "tst_WindowAccessibility.moc"
