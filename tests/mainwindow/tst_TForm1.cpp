#include "mainwindow/PatchCommand.h"
#include "mainwindow/TForm1.h"
#include "support/Cp1251.h"
#include "support/StrHF.h"
#include "tests/PrivilegeDrop.h"
#include "tests/ScriptedDialogs.h"
#include "tests/mainwindow/WindowFixture.h"
#include "ui/AccessibilityFactory.h"
#include "ui/EventGuard.h"
#include "ui/grid/ByteGrid.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

class tst_TForm1 : public QObject, protected WindowFixture {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstStartShowsAnEmptyWindowAndCreatesNoSettings();
    void keyboardFocusStaysWhereTheUserPutItAndTheDialogsOpenInTheProgramsFolder();
    void openShowsTheFileAndStoresNameThenStart();
    void cancellingTheOpenDialogChangesNothing();
    void anEmptyOrMissingFileShowsTheOpenError();
    void restartShowsTheSameFileAtTheSameStart();
    void theOpenDialogStartsAtTheRestoredFile();
    void aStoredStartBeyondTheEndLoadsNoRowsAndDisablesNavigation();
    void aNegativeStoredStartShowsTheIoErrorAndAnEmptyWindow();
    void rowsShowTheirOffsetsAndBytes_data();
    void rowsShowTheirOffsetsAndBytes();
    void navigationFollowsThePlacementRule_data();
    void navigationFollowsThePlacementRule();
    void navigationDoesNothingWhileTwoRowsShow();
    void goToByteTakesTheParsersNumbers_data();
    void goToByteTakesTheParsersNumbers();
    void goToByteScoldsForWhatIsNoNumber_data();
    void goToByteScoldsForWhatIsNoNumber();
    void columnWidthPromptSetsTheOffsetColumn_data();
    void columnWidthPromptSetsTheOffsetColumn();
    void theOffsetColumnHoldsTheOffsetsOfAFilePast4GiBUnlessTheUserSetItsWidth();
    void aCommittedEditWritesTheColumnsConversion_data();
    void aCommittedEditWritesTheColumnsConversion();
    void aTextThatIsNoByteWritesNothingAndStaysPending_data();
    void aTextThatIsNoByteWritesNothingAndStaysPending();
    void editsInTheSecondBlockLandAtTheirOwnOffset();
    void aHandBackWithoutChangeNeverWrites();
    void typingThenEnterThenMovingWritesOnce();
    void aPendingEditIsCommittedWhereItWasMadeBeforeTheBlockChanges_data();
    void aPendingEditIsCommittedWhereItWasMadeBeforeTheBlockChanges();
    void anUnwritableSettingsFileShowsTheErrorAfterTheNewBlock();
    void theReportHoldsEveryGridRowPlusEightLines();
    void cyrillicPathsReadAsCyrillicInTheTexts();
    void aReportOnAFullDiskShowsTheIoErrorAndNoDone();
    void aCommandArrivingDuringALoadIsDropped();
    void writeSwitchCaptionTurnsRedWhileTicked();
    void aPathTypedByHandIsReadByTheNextCommand();
    void openAndPagingHaveKeysOfTheirOwn();
    void writesAreTakenBackWhereTheyWereMade();
    void aMatchIsShownAsGoingToItsByteShowsIt();
    void closingTheWindowStopsASearch();
    void rowsAreCopiedPastedAndReplaced();
    void theRunsChangesSaveAsAPatchThatMakesACopyTheSame();
    void anotherFileIsComparedThroughTheKeys();
    void aTypedValueIsWrittenInItsColumnsByteOrderAsOneStep_data();
    void aTypedValueIsWrittenInItsColumnsByteOrderAsOneStep();
    void theChecksumWindowSumsTheSelectionOrTheWholeFileAfterEveryChange_data();
    void theChecksumWindowSumsTheSelectionOrTheWholeFileAfterEveryChange();
};

void tst_TForm1::init()
{
    setUpWindowTest();
}

void tst_TForm1::cleanup()
{
    tearDownWindowTest();
}

void tst_TForm1::firstStartShowsAnEmptyWindowAndCreatesNoSettings()
{
    m_form = makeForm();
    QCOMPARE(grid()->rowCount(), 2);
    QCOMPARE(grid()->cell(0, 0), cp("Nбайта"));
    QCOMPARE(grid()->cell(4, 0), std::string("Ascii"));
    for (int col = 0; col < 5; ++col)
        QCOMPARE(grid()->cell(col, 1), std::string());
    QCOMPARE(grid()->colWidth(0), 120);
    QCOMPARE(m_form->findChild<QLineEdit*>(QStringLiteral("EditNameF"))->text(), QString());
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("LabelSizeF"))->text(), QStringLiteral("0"));
    QCOMPARE(m_form->startByte(), 0);
    QVERIFY(m_dialogs->shown.empty());
    QVERIFY(!QFile::exists(QString::fromStdString(settings())));
}

void tst_TForm1::keyboardFocusStaysWhereTheUserPutItAndTheDialogsOpenInTheProgramsFolder()
{
    const std::string path = makeFile("f.bin", 20000);
    m_form = makeForm(true);
    // The keys go to the table from the start.
    QApplication::setActiveWindow(m_form.get());
    QCOMPARE(QApplication::focusWidget(), grid());
    // Each file dialog, first shown, opens in the program's folder and offers its filters to pick from.
    m_form->SpeedButton1Click();
    m_form->N1Click();
    const auto offered = [this](const char* name) {
        const auto* dialog = m_form->findChild<QFileDialog*>(QString::fromLatin1(name));
        const auto* types = dialog ? dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")) : nullptr;
        QStringList items;
        for (int i = 0; types && i < types->count(); ++i)
            items << types->itemText(i);
        return std::pair(dialog ? QDir(dialog->directory()).canonicalPath() : QString(), items);
    };
    const QString folder = QDir(m_dir->path()).canonicalPath();
    QCOMPARE(offered("OD1"), std::pair(folder, QStringList { "Все файлы (*)", "Excel-файлы (*.xls)" }));
    QCOMPARE(offered("SD1"), std::pair(folder, QStringList { "Текстовые файлы (*.TXT)", "Все файлы (*)" }));
    // Installed for all users, with settings in the user's own folder, the program starts them in the user's home.
    {
        TForm1 installed(m_dir->path().toStdString() + "/", {}, m_dir->path().toStdString() + "/settings/");
        installed.SpeedButton1Click();
        const auto* dialog = installed.findChild<QFileDialog*>(QStringLiteral("OD1"));
        QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(QDir::homePath()).canonicalPath());
    }

    // Tab goes between the write switch and the grid only: the path box, the open button and the spin button have
    // keys of their own.
    openThroughTheDialog(path);
    tickWriteSwitch();
    QWidget* const writeSwitch = QApplication::focusWidget();
    key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), grid());
    key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), writeSwitch);
    // A click on the open button leaves an open cell editor its focus; one on the spin button, which moves the block
    // and so closes the editor, leaves it with the grid.
    focusCell(1, 2);
    typeInEditor(QStringLiteral("a"));
    QCOMPARE(QApplication::focusWidget(), grid()->inplaceEditor());
    QTest::mouseClick(m_form->findChild<QWidget*>(QStringLiteral("SpeedButton1")), Qt::LeftButton);
    QCOMPARE(m_dialogs->shown.size(), std::size_t(5)); // the click's open dialog, after the four before
    QCOMPARE(QApplication::focusWidget(), grid()->inplaceEditor());
    auto* spin = m_form->findChild<QWidget*>(QStringLiteral("SpinButton1"));
    QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, spin->height() * 3 / 4));
    QCOMPARE(m_form->startByte(), 8192);
    QCOMPARE(QApplication::focusWidget(), grid());
}

void tst_TForm1::openShowsTheFileAndStoresNameThenStart()
{
    const std::string path = makeFile("dump.bin", 300);
    m_form = makeForm();
    openThroughTheDialog(path);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Файл : ") + QString::fromStdString(path));
    QCOMPARE(m_form->currentFile(), path);
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("LabelSizeF"))->text(), QStringLiteral("300"));
    QCOMPARE(grid()->rowCount(), 301);
    verifyRowsShowTheFile(path);
    QCOMPARE(contents(settings()),
        QByteArray("[File]\r\nNameFile=" + QByteArray::fromStdString(path) + "\r\nStartByte=0\r\n"));
}

void tst_TForm1::cancellingTheOpenDialogChangesNothing()
{
    const std::string path = makeFile("a.bin", 10);
    m_form = makeForm();
    openThroughTheDialog(path);
    const QByteArray before = contents(settings());
    m_dialogs->fileAnswers.push_back(std::nullopt);
    m_form->SpeedButton1Click();
    QCOMPARE(m_form->currentFile(), path);
    QCOMPARE(grid()->rowCount(), 11);
    QCOMPARE(contents(settings()), before);
}

void tst_TForm1::anEmptyOrMissingFileShowsTheOpenError()
{
    const std::string data = makeFile("data.bin", 5);
    const std::string empty = makeFile("empty.bin", 0);
    m_form = makeForm();
    openThroughTheDialog(data);
    openThroughTheDialog(empty);
    QCOMPARE(m_dialogs->texts("notice"), std::vector<std::string> { cp("Ошибка при открытии файла") });
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("LabelSizeF"))->text(), QStringLiteral("0"));
    QCOMPARE(m_form->currentFile(), empty);
    QCOMPARE(grid()->rowCount(), 2);
    QCOMPARE(grid()->cell(0, 1), offsetText(0)); // row 1 keeps what it showed
    // A directory, a FIFO and a device are refused the same way, at once.
    const std::string fifo = m_dir->filePath(QStringLiteral("fifo")).toStdString();
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : { m_dir->path().toStdString(), fifo, std::string("/dev/zero") })
        openThroughTheDialog(path);
    QCOMPARE(m_dialogs->texts("notice").size(), std::size_t(4));
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("LabelSizeF"))->text(), QStringLiteral("-1"));
}

void tst_TForm1::restartShowsTheSameFileAtTheSameStart()
{
    const std::string path = makeFile("big.bin", 20000);
    m_form = makeForm();
    openThroughTheDialog(path);
    m_form->SpinButton1DownClick();
    QCOMPARE(m_form->startByte(), 8192);
    m_form = makeForm();
    QCOMPARE(m_form->currentFile(), path);
    QCOMPARE(m_form->startByte(), 8192);
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Файл : ") + QString::fromStdString(path));
    QCOMPARE(grid()->rowCount(), 8194);
    verifyRowsShowTheFile(path);
}

void tst_TForm1::theOpenDialogStartsAtTheRestoredFile()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
    const std::string path = makeFile("sub/big.bin", 20000);
    m_form = makeForm();
    openThroughTheDialog(path);
    m_form = makeForm();
    QVERIFY(!m_form->findChild<QFileDialog*>());
    m_dialogs->fileAnswers.push_back(std::nullopt);
    m_form->SpeedButton1Click();
    auto* od1 = m_form->findChild<QFileDialog*>(QStringLiteral("OD1"));
    QVERIFY(od1);
    QCOMPARE(QDir(od1->directory()).canonicalPath(), QDir(m_dir->filePath(QStringLiteral("sub"))).canonicalPath());
    QCOMPARE(od1->selectedFiles().value(0), QString::fromStdString(path));
}

void tst_TForm1::aStoredStartBeyondTheEndLoadsNoRowsAndDisablesNavigation()
{
    const std::string path = makeFile("small.bin", 100);
    SettingsWriteString(settings(), "File", "NameFile", path);
    SettingsWriteInt(settings(), "File", "StartByte", 5000);
    m_form = makeForm();
    QCOMPARE(m_form->startByte(), 5000);
    QCOMPARE(grid()->rowCount(), 2);
    QVERIFY(m_dialogs->shown.empty());
    const QByteArray before = contents(settings());
    m_form->SpinButton1DownClick();
    m_form->N3Click();
    QCOMPARE(m_form->startByte(), 5000);
    QCOMPARE(contents(settings()), before);
}

void tst_TForm1::aNegativeStoredStartShowsTheIoErrorAndAnEmptyWindow()
{
    const std::string path = makeFile("small.bin", 100);
    SettingsWriteString(settings(), "File", "NameFile", path);
    SettingsWriteInt(settings(), "File", "StartByte", -5);
    m_form = makeForm();
    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { "I/O error 22." });
    QCOMPARE(m_form->startByte(), -5);
    QCOMPARE(grid()->rowCount(), 2);
    QCOMPARE(grid()->cell(1, 1), std::string());
}

void tst_TForm1::rowsShowTheirOffsetsAndBytes_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("rows");
    QTest::newRow("1 byte") << 1 << 2;
    QTest::newRow("2 bytes") << 2 << 3;
    QTest::newRow("8193 bytes") << 8193 << 8194;
    QTest::newRow("20000 bytes, first block") << 20000 << 8194;
}

void tst_TForm1::rowsShowTheirOffsetsAndBytes()
{
    QFETCH(int, size);
    QFETCH(int, rows);
    const std::string path = makeFile("f.bin", size);
    m_form = makeForm();
    openThroughTheDialog(path);
    QCOMPARE(grid()->rowCount(), rows);
    verifyRowsShowTheFile(path);
    QVERIFY(m_dialogs->shown.size() == 1); // the file dialog only
}

void tst_TForm1::navigationFollowsThePlacementRule_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("commands"); // d = next, u = previous, s = start, e = end
    QTest::addColumn<QList<int>>("starts");
    QTest::addColumn<QList<int>>("rows");
    // Each command once; where each lands is the block model's table.
    QTest::newRow("20000: end, previous, previous, start")
        << 20000 << QByteArray("euus") << QList<int> { 11809, 3617, 0, 0 } << QList<int> { 8192, 8194, 8194, 8194 };
    QTest::newRow("20000: next, next gives the last 3616 rows")
        << 20000 << QByteArray("dd") << QList<int> { 8192, 16384 } << QList<int> { 8194, 3617 };
}

void tst_TForm1::navigationFollowsThePlacementRule()
{
    QFETCH(int, size);
    QFETCH(QByteArray, commands);
    QFETCH(QList<int>, starts);
    QFETCH(QList<int>, rows);
    const std::string path = makeFile("f.bin", size);
    m_form = makeForm();
    openThroughTheDialog(path);
    for (qsizetype i = 0; i < commands.size(); ++i) {
        blockCommand(commands[i]);
        QCOMPARE(m_form->startByte(), starts[i]);
        QCOMPARE(grid()->rowCount(), rows[i]);
        QCOMPARE(SettingsReadInt(settings(), "File", "StartByte", -1), starts[i]);
        verifyRowsShowTheFile(path);
    }
}

void tst_TForm1::navigationDoesNothingWhileTwoRowsShow()
{
    const std::string path = makeFile("one.bin", 1);
    m_form = makeForm();
    openThroughTheDialog(path);
    QFile::remove(QString::fromStdString(settings()));
    m_dialogs->promptAnswers.push_back("0");
    m_form->SpinButton1DownClick();
    m_form->SpinButton1UpClick();
    m_form->N3Click();
    m_form->N4Click();
    m_form->N5Click();
    QCOMPARE(m_dialogs->shown.size(), std::size_t(1)); // no prompt either
    QVERIFY(!QFile::exists(QString::fromStdString(settings())));
}

void tst_TForm1::goToByteTakesTheParsersNumbers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("start");
    QTest::newRow("100") << QByteArray("100") << 100;
    QTest::newRow("past the end") << QByteArray("2147483647") << 1809;
    QTest::newRow("-5") << QByteArray("-5") << 0;
    QTest::newRow("$10") << QByteArray("$10") << 16;
    QTest::newRow("blanks around") << QByteArray("  42  ") << 42;
}

void tst_TForm1::goToByteTakesTheParsersNumbers()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, start);
    const std::string path = makeFile("f.bin", 10000);
    m_form = makeForm();
    openThroughTheDialog(path);
    m_dialogs->promptAnswers.push_back(answer.toStdString());
    m_form->N5Click();
    const auto& prompt = m_dialogs->shown.back();
    QCOMPARE(prompt.caption, cp("Перейти к байту N"));
    QCOMPARE(prompt.text, cp("Введите число (Dec)"));
    QCOMPARE(prompt.value, std::string("0"));
    QCOMPARE(m_form->startByte(), start);
    QCOMPARE(SettingsReadInt(settings(), "File", "StartByte", -1), start);
    verifyRowsShowTheFile(path);
}

void tst_TForm1::goToByteScoldsForWhatIsNoNumber_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("quoted");
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("trimmed") << QByteArray("  abc  ") << QByteArray("abc");
    QTest::newRow("empty") << QByteArray("") << QByteArray("");
}

void tst_TForm1::goToByteScoldsForWhatIsNoNumber()
{
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, quoted);
    const std::string path = makeFile("f.bin", 10000);
    m_form = makeForm();
    openThroughTheDialog(path);
    m_dialogs->promptAnswers.push_back(answer.toStdString());
    m_form->N5Click();
    QCOMPARE(m_dialogs->texts("notice"),
        std::vector<std::string> { cp("Бестолочь! Это=") + "\"" + quoted.toStdString() + "\"" + cp("  НЕ число !") });
    QCOMPARE(m_form->startByte(), 0);
}

void tst_TForm1::columnWidthPromptSetsTheOffsetColumn_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("width");
    QTest::newRow("300") << QByteArray("300") << true << 300;
    QTest::newRow("0 gives 120") << QByteArray("0") << true << 120;
    QTest::newRow("negative gives 120") << QByteArray("-7") << true << 120;
    QTest::newRow("cancelled") << QByteArray("300") << false << 80;
    QTest::newRow("not a number") << QByteArray("wide") << true << 80;
}

void tst_TForm1::columnWidthPromptSetsTheOffsetColumn()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, accepted);
    QFETCH(int, width);
    m_form = makeForm(); // no file loaded: the command still works
    grid()->setColWidth(0, 80);
    if (accepted)
        m_dialogs->promptAnswers.push_back(answer.toStdString());
    else
        m_dialogs->promptAnswers.push_back(std::nullopt);
    m_form->N01Click();
    QCOMPARE(m_dialogs->shown.front().caption, cp("Ширина колонки N 0"));
    QCOMPARE(m_dialogs->shown.front().text, cp("Введите число (пикселей)"));
    QCOMPARE(m_dialogs->shown.front().value, std::string("80"));
    QCOMPARE(grid()->colWidth(0), width);
}

void tst_TForm1::theOffsetColumnHoldsTheOffsetsOfAFilePast4GiBUnlessTheUserSetItsWidth()
{
    const std::string big = makeFile("big.bin", 0);
    QVERIFY(QFile::resize(QString::fromStdString(big), qint64(8) << 30));
    const std::string small = makeFile("small.bin", 100);
    m_form = makeForm();
    openThroughTheDialog(big);
    QCOMPARE(grid()->cell(0, 1), std::string("000000000 (0)"));
    // The text starts two pixels into the cell.
    QVERIFY(
        grid()->fontMetrics().horizontalAdvance(QStringLiteral("1FFFFFFFF (8589934591)")) + 2 < grid()->colWidth(0));
    openThroughTheDialog(small);
    QCOMPARE(grid()->colWidth(0), 120);
    m_dialogs->promptAnswers.push_back("100");
    m_form->N01Click();
    openThroughTheDialog(big);
    QCOMPARE(grid()->colWidth(0), 100);
}

void tst_TForm1::aCommittedEditWritesTheColumnsConversion_data()
{
    // The conversions themselves are the block model's; here, typed into the grid and committed by a move.
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("byte");
    QTest::newRow("hex ff") << 1 << QStringLiteral("ff") << 255;
    QTest::newRow("ascii cyrillic") << 4 << QStringLiteral("Я") << 0xDF;
}

void tst_TForm1::aCommittedEditWritesTheColumnsConversion()
{
    QFETCH(int, col);
    QFETCH(QString, typed);
    QFETCH(int, byte);
    const std::string path = makeFile("f.bin", 100);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    tickWriteSwitch();
    focusCell(col, 3);
    typeInEditor(typed);
    QVERIFY(m_form->editPending());
    key(Qt::Key_Down);
    QByteArray expected = pattern(100);
    expected[2] = static_cast<char>(byte);
    QCOMPARE(contents(path), expected);
    QVERIFY(!m_form->editPending());
    verifyRowsShowTheFile(path);
    QVERIFY(m_dialogs->texts("error").empty());
}

void tst_TForm1::aTextThatIsNoByteWritesNothingAndStaysPending_data()
{
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("corrected"); // a text of the column for 0x41
    QTest::newRow("hex no number") << 1 << QStringLiteral("xyz")
                                   << QStringLiteral("'$xyz' is not a valid integer value.") << QStringLiteral("41");
    QTest::newRow("ascii, no byte for it")
        << 4 << QString::fromUtf8("中") << QString::fromUtf8("Символ U+4E2D не имеет байта в Windows-1251.")
        << QStringLiteral("A");
    QTest::newRow("ascii, beyond 16 bits")
        << 4 << QString::fromUtf8("x😀") << QString::fromUtf8("Символ U+1F600 не имеет байта в Windows-1251.")
        << QStringLiteral("A");
}

void tst_TForm1::aTextThatIsNoByteWritesNothingAndStaysPending()
{
    QFETCH(int, col);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, corrected);
    const std::string path = makeFile("f.bin", 100);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    tickWriteSwitch();
    focusCell(col, 2);
    typeInEditor(typed);
    key(Qt::Key_Down);
    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { Cp1251::fromQString(message) });
    QCOMPARE(contents(path), pattern(100));
    QVERIFY(m_form->editPending());
    QCOMPARE(grid()->currentRow(), 2); // the move was abandoned
    QCOMPARE(grid()->inplaceEditor()->text(), typed);
    // Corrected, the next move commits it.
    key(Qt::Key_A, Qt::ControlModifier);
    typeInEditor(corrected);
    key(Qt::Key_Down);
    QCOMPARE(contents(path)[1], '\x41');
    QCOMPARE(grid()->currentRow(), 3);
}

void tst_TForm1::editsInTheSecondBlockLandAtTheirOwnOffset()
{
    const std::string path = makeFile("f.bin", 20000);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    m_form->SpinButton1DownClick();
    tickWriteSwitch();
    focusCell(2, 5);
    typeInEditor(QStringLiteral("0"));
    key(Qt::Key_Up);
    QByteArray expected = pattern(20000);
    expected[8196] = 0;
    QCOMPARE(contents(path), expected);
}

void tst_TForm1::aHandBackWithoutChangeNeverWrites()
{
    // Cells whose texts would convert to another byte: "<...>" (60) and a blank (0).
    QByteArray bytes(40, '\x05');
    bytes[1] = ' ';
    const std::string path = m_dir->filePath(QStringLiteral("c.bin")).toStdString();
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    m_form = makeForm(true);
    openThroughTheDialog(path);
    tickWriteSwitch();
    focusCell(4, 1);
    key(Qt::Key_Return); // opens the editor
    key(Qt::Key_Return); // hands it back unchanged
    key(Qt::Key_F2);
    key(Qt::Key_Down); // leaves a second time, then Row 2 holds a blank
    key(Qt::Key_F2);
    key(Qt::Key_Down);
    key(Qt::Key_Up);
    m_form->SpinButton1DownClick();
    QCOMPARE(contents(path), bytes);
    QVERIFY(!m_form->editPending());
}

void tst_TForm1::typingThenEnterThenMovingWritesOnce()
{
    const std::string path = makeFile("f.bin", 50);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    tickWriteSwitch();
    focusCell(1, 4);
    typeInEditor(QStringLiteral("AA"));
    key(Qt::Key_Return);
    QCOMPARE(contents(path), pattern(50)); // Enter alone commits nothing
    key(Qt::Key_Down);
    QCOMPARE(contents(path)[3], '\xAA');
    // Change the byte on disk behind the program's back: moving again must not write the old edit again.
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.seek(3);
    f.write("\x01", 1);
    f.close();
    key(Qt::Key_Down);
    key(Qt::Key_Up);
    QCOMPARE(contents(path)[3], '\x01');
}

void tst_TForm1::aPendingEditIsCommittedWhereItWasMadeBeforeTheBlockChanges_data()
{
    QTest::addColumn<char>("command");
    QTest::addColumn<int>("row");
    for (const int row : { 1, 5 }) {
        for (const char command : { 'd', 'u', 's', 'e', 'g', 'o', 'p' }) {
            const QByteArray name = QByteArray("command ") + command + " row " + QByteArray::number(row);
            QTest::newRow(name.constData()) << command << row;
        }
    }
}

void tst_TForm1::aPendingEditIsCommittedWhereItWasMadeBeforeTheBlockChanges()
{
    QFETCH(char, command);
    QFETCH(int, row);
    const std::string path = makeFile("f.bin", 30000);
    const std::string other = makeFile("other.bin", 30000);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    m_form->SpinButton1DownClick(); // block at 8192, so every command moves it
    tickWriteSwitch();
    focusCell(1, row);
    typeInEditor(QStringLiteral("EE"));
    QVERIFY(m_form->editPending());
    if (command == 'o')
        openThroughTheDialog(other);
    else if (command == 'p')
        dropFile(other);
    else
        blockCommand(command, "100");
    QByteArray expected = pattern(30000);
    expected[8192 + row - 1] = '\xEE';
    QCOMPARE(contents(path), expected);
    QCOMPARE(contents(other), pattern(30000));
    // Moving around the new block writes nothing more.
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    QCOMPARE(contents(path), expected);
    QCOMPARE(contents(other), pattern(30000));
    verifyRowsShowTheFile(command == 'o' || command == 'p' ? other : path);
}

void tst_TForm1::anUnwritableSettingsFileShowsTheErrorAfterTheNewBlock()
{
    const std::string path = makeFile("f.bin", 20000);
    m_form = makeForm();
    openThroughTheDialog(path);
    // A directory where the settings file should be cannot be replaced by a file.
    QFile::remove(QString::fromStdString(settings()));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Quillmoor.ini")));
    guarded([this] { m_form->SpinButton1DownClick(); }); // as the spin button calls it
    QCOMPARE(m_form->startByte(), 8192);
    verifyRowsShowTheFile(path);
    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { "Unable to write to " + settings() + "." });
}

void tst_TForm1::theReportHoldsEveryGridRowPlusEightLines()
{
    const std::string path = makeFile("f.bin", 20000);
    const std::string report = m_dir->filePath(QStringLiteral("report.TXT")).toStdString();
    m_form = makeForm();
    openThroughTheDialog(path);
    // A text the grid holds over the row's own, as typing leaves it, is what the report shows.
    grid()->setCell(2, 2, "typed");
    m_dialogs->fileAnswers.push_back(report);
    m_form->N1Click();
    QCOMPARE(m_dialogs->texts("notice"), std::vector<std::string> { cp("Готово !") });
    const QList<QByteArray> lines = contents(report).split('\n');
    QCOMPARE(lines.size() - 1, 8193 + 8);
    QCOMPARE(lines[1], "FileName : " + QByteArray::fromStdString(path) + "\r");
    QCOMPARE(lines[5], QByteArray("00000000 (0)     0B    11    00001011         <...>    \r"));
    QVERIFY2(lines[6].contains(" typed "), lines[6].constData());
    QCOMPARE(lines[5 + 8192].size(), 56);
    QCOMPARE(contents(path), pattern(20000)); // the viewed file is only read
}

void tst_TForm1::cyrillicPathsReadAsCyrillicInTheTexts()
{
    // A settings folder and a file named in Cyrillic (the file system's UTF-8): texts show them in the
    // program's code page, the settings file keeps the path's own bytes.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("юзер")));
    const std::string folder = m_dir->path().toStdString() + "/юзер/";
    const std::string shownFolder = m_dir->path().toStdString() + "/\xFE\xE7\xE5\xF0/";
    const std::string path = folder + "Ёлка€.bin";
    put(path, pattern(20000));
    m_form = std::make_unique<TForm1>(folder);
    openThroughTheDialog(path);
    QCOMPARE(SettingsReadString(folder + "Quillmoor.ini", "File", "NameFile", ""), path);

    m_dialogs->fileAnswers.push_back(folder + "report.TXT");
    m_form->N1Click();
    const QList<QByteArray> lines = contents(folder + "report.TXT").split('\n');
    QCOMPARE(lines.value(1), "FileName : " + QByteArray::fromStdString(shownFolder) + "\xA8\xEB\xEA\xE0\x88.bin\r");

    // The settings file cannot be replaced by a file where a folder stands.
    QVERIFY(QFile::remove(QString::fromStdString(folder + "Quillmoor.ini")));
    QVERIFY(QDir(QString::fromStdString(folder)).mkdir(QStringLiteral("Quillmoor.ini")));
    guarded([this] { m_form->SpinButton1DownClick(); });
    QCOMPARE(
        m_dialogs->texts("error"), std::vector<std::string> { "Unable to write to " + shownFolder + "Quillmoor.ini." });
}

void tst_TForm1::aReportOnAFullDiskShowsTheIoErrorAndNoDone()
{
    const std::string path = makeFile("f.bin", 20000);
    m_form = makeForm();
    openThroughTheDialog(path);
    m_dialogs->fileAnswers.push_back("/dev/full");
    guarded([this] { m_form->N1Click(); });
    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { "Disk full." });
    QVERIFY(m_dialogs->texts("notice").empty());
    m_dialogs->fileAnswers.push_back(m_dir->filePath(QStringLiteral("no/such/dir/r.TXT")).toStdString());
    guarded([this] { m_form->N1Click(); });
    QCOMPARE(m_dialogs->texts("error").back(), std::string("File not found."));
    QVERIFY(m_dialogs->texts("notice").empty());
}

void tst_TForm1::aCommandArrivingDuringALoadIsDropped()
{
    const std::string path = makeFile("f.bin", 30000);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    int fired = 0;
    // Timers fire during the load's event processing, as a held spin arrow's repeats would.
    for (int i = 0; i < 3; ++i)
        QTimer::singleShot(0, m_form.get(), [&] {
            ++fired;
            m_form->SpinButton1DownClick();
            m_form->N4Click();
        });
    m_form->SpinButton1DownClick();
    QCOMPARE(fired, 3);
    QCOMPARE(m_form->startByte(), 8192);
    QCOMPARE(grid()->rowCount(), 8194);
    verifyRowsShowTheFile(path);
}

void tst_TForm1::writeSwitchCaptionTurnsRedWhileTicked()
{
    m_form = makeForm(true);
    auto* box = m_form->findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    tickWriteSwitch();
    // The red darkened just enough to read 4.5 to 1 on the default palette's window, #EFEFEF.
    QCOMPARE(box->palette().color(QPalette::WindowText), QColor(0xD9, 0, 0));
    QVERIFY(grid()->editing());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    QCOMPARE(box->palette().color(QPalette::WindowText), QColor(Qt::black));
    QVERIFY(!grid()->editing());
}

void tst_TForm1::aPathTypedByHandIsReadByTheNextCommand()
{
    const std::string a = makeFile("a.bin", 20000);
    const std::string b = m_dir->filePath(QStringLiteral("b.bin")).toStdString();
    QFile f(QString::fromStdString(b));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(9000, '\x77'));
    f.close();
    m_form = makeForm(true);
    openThroughTheDialog(a);
    auto* path = m_form->findChild<QLineEdit*>(QStringLiteral("EditNameF"));
    path->setFocus();
    path->selectAll();
    QTest::keyClicks(path, QString::fromStdString(b));
    QCOMPARE(m_form->currentFile(), b);
    m_form->SpinButton1DownClick();
    QCOMPARE(m_form->startByte(), 8192);
    QCOMPARE(grid()->rowCount(), 9000 - 8192 + 1);
    verifyRowsShowTheFile(b);
    QCOMPARE(SettingsReadString(settings(), "File", "NameFile", ""), a); // only the open command stores the name
}

void tst_TForm1::openAndPagingHaveKeysOfTheirOwn()
{
    const std::string path = makeFile("f.bin", 20000);
    m_form = makeForm(true);
    m_dialogs->fileAnswers.push_back(path);
    grid()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_form->currentFile(), path);
    grid()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::AltModifier);
    QCOMPARE(m_form->startByte(), 8192);
    tickWriteSwitch(); // from the write switch too
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::AltModifier);
    QCOMPARE(m_form->startByte(), 0);
    QCOMPARE(grid()->currentRow(), 1); // the grid's own keys stay its own
}

void tst_TForm1::writesAreTakenBackWhereTheyWereMade()
{
    const std::string a = makeFile("a.bin", 20000), b = makeFile("b.bin", 100);
    m_form = makeForm(true);
    openThroughTheDialog(a);
    tickWriteSwitch();
    blockCommand('d');
    focusCell(2, 6); // offset 8197
    typeInEditor(QStringLiteral("255"));
    key(Qt::Key_Down);
    openThroughTheDialog(b);
    focusCell(1, 3);
    typeInEditor(QStringLiteral("ab"));
    key(Qt::Key_Return);

    // The edit still pending is committed first, so it is the write taken back.
    key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(contents(b), pattern(100));
    // The write before was made in a's second block: that file and block come back, and are remembered.
    key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(contents(a), pattern(20000));
    QCOMPARE(contents(settings()), settingsFor(a, 8192));
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Файл : ") + QString::fromStdString(a));
    QCOMPARE((GridCell { grid()->currentCol(), grid()->currentRow() }), (GridCell { 2, 6 }));

    key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(contents(a)[8197], '\xFF');
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(contents(b)[2], '\xAB');
    QCOMPARE((GridCell { grid()->currentCol(), grid()->currentRow() }), (GridCell { 1, 3 }));
    // In the open editor the key is the editor's own.
    typeInEditor(QStringLiteral("1"));
    key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(grid()->inplaceEditor()->text(), QStringLiteral("AB"));
    QCOMPARE(contents(b)[2], '\xAB');
}

void tst_TForm1::aMatchIsShownAsGoingToItsByteShowsIt()
{
    const std::string path = makeFile("f.bin", 30000);
    QByteArray bytes = pattern(30000);
    put(path, bytes.replace(100, 3, "MZ!").replace(20000, 3, "MZ!"));
    m_form = makeForm(true);
    openThroughTheDialog(path);
    grid()->setFocus();
    const auto selection = [this] {
        return std::tuple(m_form->startByte(), grid()->currentRow(), grid()->anchor().row, grid()->currentCol());
    };

    // The match's bytes are selected, its first one current; F3 and Shift+F3 look after and before it.
    m_dialogs->promptAnswers.push_back("\"MZ!\"");
    key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(selection(), std::tuple(100, 1, 3, 1));
    key(Qt::Key_F3);
    QCOMPARE(selection(), std::tuple(20000, 1, 3, 1));
    key(Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(selection(), std::tuple(100, 1, 3, 1));
    QVERIFY(m_dialogs->texts("notice").empty());

    // Escape stops a search, and nothing moves; so does an answer that is not understood, or no match.
    m_dialogs->promptAnswers = { std::string("\"QQ\""), std::string("4D5"), std::string("\"QQ\"") };
    QCoreApplication::postEvent(grid(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    key(Qt::Key_F, Qt::ControlModifier);
    key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(m_dialogs->shown.end()[-2].value, std::string("\"QQ\"")); // preset to the last search
    key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(
        m_dialogs->texts("notice"), (std::vector<std::string> { cp("Не понимаю, что искать: 4D5"), cp("Не найдено") }));
    QCOMPARE(selection(), std::tuple(100, 1, 3, 1));

    // A number found says in which order, with the value window hidden; the prompt's tool tip shows the forms.
    m_dialogs->shown.clear();
    m_dialogs->promptAnswers = { std::string("?? ??"), std::string("int8 300"), std::string("uint16 0x4D5A") };
    key(Qt::Key_F, Qt::ControlModifier);
    key(Qt::Key_F, Qt::ControlModifier);
    key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(m_dialogs->texts("notice"),
        (std::vector<std::string> { cp("Нужен хотя бы один известный байт"), cp("Не понимаю значение: 300"),
            cp("Найдено: uint16, обратный порядок байтов (BE)") }));
    QCOMPARE(selection(), std::tuple(100, 1, 2, 1));
    QVERIFY(m_dialogs->lastHint.find(cp("?? ?? 50 45")) != std::string::npos);
    QVERIFY(m_dialogs->lastHint.find("int32 1234") != std::string::npos);
    // With the value window up, its current cell shows it instead.
    key(Qt::Key_F12);
    key(Qt::Key_F3);
    QCOMPARE(selection(), std::tuple(20000, 1, 2, 1));
    const auto* values = m_form->findChild<QTableWidget*>(QStringLiteral("ValueTable"));
    QCOMPARE(std::pair(values->currentRow(), values->currentColumn()), std::pair(3, 2));
    QCOMPARE(m_dialogs->texts("notice").size(), std::size_t(3));
}

void tst_TForm1::closingTheWindowStopsASearch()
{
    // The match lies beyond the first stretch the search reads, after which it lets events run.
    const qint64 size = 6 << 20;
    const std::string path = makeFile("f.bin", size);
    put(path, pattern(size).replace(size - 10, 3, "MZ!"));
    m_form = makeForm(true);
    openThroughTheDialog(path);
    const QByteArray stored = contents(settings());
    m_dialogs->promptAnswers.push_back("\"MZ!\"");
    QTimer::singleShot(0, m_form.get(), [this] { m_form->close(); });
    key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(m_form->startByte(), 0);
    QCOMPARE(contents(settings()), stored);
}

void tst_TForm1::rowsAreCopiedPastedAndReplaced()
{
    const std::string path = makeFile("f.bin", 100);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    tickWriteSwitch();
    QClipboard* clipboard = QGuiApplication::clipboard();
    QByteArray expected = pattern(100);
    const auto selectRows = [this](int row, int more) {
        focusCell(2, row);
        for (int i = 0; i < more; ++i)
            key(Qt::Key_Down, Qt::ShiftModifier);
    };

    // The rows the selection spans, as hex pairs and as raw bytes; pasted from the current row on.
    selectRows(2, 2);
    key(Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QString::fromLatin1(expected.mid(1, 3).toHex(' ').toUpper()));
    QCOMPARE(clipboard->mimeData()->data(QStringLiteral("application/octet-stream")), expected.mid(1, 3));
    focusCell(1, 10);
    key(Qt::Key_V, Qt::ControlModifier);
    expected.replace(9, 3, expected.mid(1, 3));
    QCOMPARE(contents(path), expected);
    // A text repeated over the selected rows: a zero fill, taken back whole.
    clipboard->setText(QStringLiteral("00"));
    selectRows(20, 3);
    key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(contents(path).mid(19, 5), QByteArray("\0\0\0\0", 4) + expected[23]);
    key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(contents(path), expected);
    // What is not bytes (5 MB of it, quoted in part), and what would reach past the last row, write nothing.
    clipboard->setText(QStringLiteral(" zz ") + QString(5 << 20, QLatin1Char('q')));
    key(Qt::Key_V, Qt::ControlModifier);
    clipboard->setText(QStringLiteral("01 02"));
    focusCell(1, 100);
    key(Qt::Key_V, Qt::ControlModifier);
    // Ctrl+H: what to find, then what to put in its place, as long; every match replaced as one undo step.
    m_dialogs->promptAnswers = { "0B30", "EEFFAA", "0B30", "EE FF" };
    key(Qt::Key_H, Qt::ControlModifier);
    key(Qt::Key_H, Qt::ControlModifier);
    QCOMPARE(contents(path).left(2), QByteArray("\xEE\xFF"));
    QCOMPARE(std::tuple(grid()->currentRow(), grid()->anchor().row), std::tuple(1, 2));
    key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_dialogs->texts("notice"),
        (std::vector<std::string> { cp("Не понимаю, что вставить: zz ") + std::string(61, 'q') + cp("…"),
            cp("Вставка не помещается в показанные байты"), cp("Замена должна быть той же длины"),
            cp("Заменено: 1") }));
    QCOMPARE(contents(path), expected);
}

void tst_TForm1::theRunsChangesSaveAsAPatchThatMakesACopyTheSame()
{
    const std::string path = makeFile("f.bin", 100);
    const QByteArray original = contents(path);
    const std::string copy = makeFile("copy.bin", 100);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    tickWriteSwitch();
    grid()->setFocus();
    key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    // Two neighbours changed, and a byte changed and written back: one line.
    focusCell(1, 3);
    typeInEditor(QStringLiteral("AB"));
    key(Qt::Key_Down);
    typeInEditor(QStringLiteral("CD"));
    key(Qt::Key_Down);
    typeInEditor(QStringLiteral("EE"));
    key(Qt::Key_Up);
    focusCell(1, 5);
    typeInEditor(QString::fromLatin1(original.mid(4, 1).toHex()));
    key(Qt::Key_Down);
    const std::string patch = m_dir->filePath(QStringLiteral("run.patch")).toStdString();
    m_dialogs->fileAnswers.push_back(patch);
    key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_dialogs->texts("notice"), std::vector<std::string> { cp("Нет изменений") });
    QCOMPARE(contents(patch),
        "quillmoor-patch 1\n# file: " + QByteArray::fromStdString(path) + ", size 100\n00000002 "
            + original.mid(2, 2).toHex().toUpper() + " ABCD\n");
    QCOMPARE(PatchCommand::run(PatchCommand::Action::Apply, patch, copy).status, 0);
    QCOMPARE(contents(copy), contents(path));
    // The dialog starts beside the file it changes, with its name preset.
    const auto* dialog = m_form->findChild<QFileDialog*>(QStringLiteral("PatchDialog"));
    QCOMPARE(dialog->directory().absolutePath(), m_dir->path());
    QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("f.bin.patch"));
}

void tst_TForm1::anotherFileIsComparedThroughTheKeys()
{
    const std::string path = makeFile("f.bin", 30000);
    const std::string other = makeFile("other.bin", 20000);
    put(other, pattern(20000).replace(300, 2, "MZ").replace(19999, 1, "!"));
    installAccessibility();
    m_form = makeForm(true);
    openThroughTheDialog(path);
    grid()->setFocus();
    const auto selection
        = [this] { return std::tuple(m_form->startByte(), grid()->currentRow(), grid()->anchor().row); };
    const auto description = [this](int row) {
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid());
        return table->tableInterface()->cellAt(row, 1)->text(QAccessible::Description);
    };

    // Escape stops the comparison before it is done: nothing is compared.
    m_dialogs->fileAnswers = { other, other };
    QCoreApplication::postEvent(grid(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    key(Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(description(1), QString());
    key(Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(m_dialogs->shown.back().text, cp("Различных байтов: 3, мест: 2; размеры: 30000 и 20000"));
    QCOMPARE(m_dialogs->shown.end()[-2].caption, cp("Сравнить с файлом"));
    QCOMPARE(selection(), std::tuple(300, 1, 2));
    QCOMPARE(description(1), QStringLiteral("В файле сравнения: 4D"));
    QCOMPARE(description(3), QString());
    key(Qt::Key_F6);
    QCOMPARE(selection(), std::tuple(19999, 1, 1));
    QCOMPARE(description(2), QStringLiteral("В файле сравнения нет байта"));
    key(Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(selection(), std::tuple(300, 1, 2));

    // The differences saved as a patch; Ctrl+K again ends the comparison and its marks.
    const std::string patch = m_dir->filePath(QStringLiteral("d.patch")).toStdString();
    m_dialogs->fileAnswers.push_back(patch);
    key(Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(contents(patch).endsWith("0000012C " + pattern(302).mid(300).toHex().toUpper() + " 4D5A\n00004E1F "
        + pattern(20000).mid(19999).toHex().toUpper() + " 21\n"));
    key(Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(description(1), QString());
}

// The value window's rows: int8, uint8, int16, uint16, int32, uint32, int64, uint64, float32, float64, time32,
// time64, FILETIME, DOS, bin, text. Typed at grid row 11 (offset 10) unless another row is given, with the grid's
// editor open when F12 showed the window. What each type reads and refuses is the value module's test; here, what
// reaches the disk.
void tst_TForm1::aTypedValueIsWrittenInItsColumnsByteOrderAsOneStep_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col"); // 1 little-endian, 2 big-endian
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("written"); // hex; empty when nothing may be written
    QTest::addColumn<int>("gridRow"); // 0: writing off
    const auto row = [](const char* name, int type, int col, const char* typed, const char* written, int at = 11) {
        QTest::newRow(name) << type << col << QString::fromUtf8(typed) << QByteArray(written) << at;
    };
    row("int8 one below", 0, 2, "-129", "");
    row("int32 BE", 4, 2, "305419896", "12345678");
    row("int32 LE", 4, 1, "305419896", "78563412");
    row("uint64 at its most, LE", 7, 1, "18446744073709551615", "FFFFFFFFFFFFFFFF");
    row("float64 negative zero, BE", 9, 2, "-0", "8000000000000000");
    row("float64 at its widest, BE", 9, 2, "-1.7976931348623157e+308", "FFEFFFFFFFFFFFFF");
    row("float64 of 22 digits, LE", 9, 1, "-3256937983961036488704", "4F4C0D04E31166C4");
    row("DOS date-time, its first", 13, 1, "1980-01-01 00:00:00", "00002100");
    row("text", 15, 1, "Привет", "CFF0E8E2E5F2");
    row("int64 past the last shown row", 6, 1, "1", "", 96);
    row("writing off: no cell opens", 4, 1, "1", "", 0);
}

void tst_TForm1::aTypedValueIsWrittenInItsColumnsByteOrderAsOneStep()
{
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(QString, typed);
    QFETCH(QByteArray, written);
    QFETCH(int, gridRow);
    const std::string path = makeFile("f.bin", 100);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    if (gridRow > 0)
        tickWriteSwitch();
    focusCell(1, std::max(gridRow, 1));
    key(Qt::Key_F2);
    QCOMPARE(grid()->editorMode(), gridRow > 0);
    key(Qt::Key_F12);
    auto* table = m_form->findChild<QTableWidget*>(QStringLiteral("ValueTable"));
    QVERIFY(table && table->isVisible());
    table->setCurrentCell(row, col);
    QCOMPARE(bool(table->currentItem()->flags() & Qt::ItemIsEditable), gridRow > 0);
    if (gridRow == 0)
        return;
    table->editItem(table->currentItem());
    // (Offscreen, the tool window is never made active: its editor is found rather than focused.)
    QPointer<QLineEdit> editor = table->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(typed);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!editor);
    QByteArray expected = pattern(100);
    const QByteArray bytes = QByteArray::fromHex(written);
    expected.replace(gridRow - 1, bytes.size(), bytes);
    QCOMPARE(contents(path), expected);
    if (bytes.isEmpty()) {
        const char* said = gridRow == 11 ? "Не понимаю значение: " : "Значение не помещается в показанные байты";
        const auto texts = m_dialogs->texts(gridRow == 11 ? "error" : "notice");
        QVERIFY(texts.size() == 1 && texts[0].starts_with(cp(said)));
        return;
    }
    // The window follows the write, its columns wide enough for every value unelided (the text row, which runs
    // across both, aside), the grid's editor left open does not write its older text back, and the value is one
    // step to take back.
    QCOMPARE(table->item(0, 1)->text(), QString::number(qint8(bytes[0])));
    table->setRowHidden(table->rowCount() - 1, true);
    const QAbstractItemView* view = table;
    for (int col = 1; col <= 2; ++col)
        QCOMPARE_LE(view->sizeHintForColumn(col), table->columnWidth(col));
    QApplication::setActiveWindow(m_form.get());
    grid()->setFocus();
    key(Qt::Key_Return);
    QCOMPARE(contents(path), expected);
    key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(contents(path), pattern(100));
}

// Ctrl+Shift+C's window, read at its MD5 row against Qt's MD5 of the bytes chosen. first and last: grid rows selected
// (-1: the last rows of the block); whole: the whole file instead; then, 'e': Escape during the sum, 'w': 5A pasted
// over the selection.
void tst_TForm1::theChecksumWindowSumsTheSelectionOrTheWholeFileAfterEveryChange_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<char>("then");
    constexpr qint64 Chunks = (5 << 20) + 3; // more than one read
    QTest::newRow("the current row's byte") << qint64(100) << 5 << 5 << false << ' ';
    QTest::newRow("selected rows") << qint64(100) << 2 << 9 << false << ' ';
    QTest::newRow("the block's last rows, its shared byte included") << qint64(20000) << -3 << -1 << false << ' ';
    QTest::newRow("a write in the selection") << qint64(100) << 1 << 4 << false << 'w';
    QTest::newRow("the whole file") << Chunks << 1 << 1 << true << ' ';
    QTest::newRow("the whole file, after a write") << Chunks << 1 << 1 << true << 'w';
    QTest::newRow("the whole file, stopped") << Chunks << 1 << 1 << true << 'e';
}

void tst_TForm1::theChecksumWindowSumsTheSelectionOrTheWholeFileAfterEveryChange()
{
    QFETCH(qint64, size);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(bool, whole);
    QFETCH(char, then);
    const std::string path = makeFile("f.bin", size);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    tickWriteSwitch();
    grid()->setFocus();
    key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    auto* table = m_form->findChild<QTableWidget*>(QStringLiteral("ChecksumTable"));
    QVERIFY(table && table->isVisible());
    const int rows = grid()->rowCount() - 1;
    const int firstRow = first > 0 ? first : rows + 1 + first, lastRow = last > 0 ? last : rows + 1 + last;
    focusCell(1, firstRow);
    for (int row = firstRow; row < lastRow; ++row)
        key(Qt::Key_Down, Qt::ShiftModifier);
    if (whole) {
        m_form->findChild<QRadioButton*>(QStringLiteral("SumWholeFile"))->click();
        // Pressed once the sum is under way, as its first chunk is read.
        if (then == 'e')
            QTimer::singleShot(1, grid(), [this] { key(Qt::Key_Escape); });
    }
    const qint64 from = whole ? 0 : firstRow - 1, count = whole ? size : lastRow - firstRow + 1;
    const auto md5 = [&] {
        const QByteArray bytes = contents(path).mid(from, count);
        return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toUpper());
    };
    QTRY_COMPARE(table->item(10, 1)->text(), then == 'e' ? QStringLiteral("—") : md5());
    if (then != 'w')
        return;
    // A paste over the selection, which it keeps.
    QGuiApplication::clipboard()->setText(QStringLiteral("5A"));
    QApplication::setActiveWindow(m_form.get());
    grid()->setFocus();
    key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(contents(path)[from], '\x5A');
    QTRY_COMPARE(table->item(10, 1)->text(), md5());
}

QTEST_MAIN(tst_TForm1)
#include "tst_TForm1.moc"
