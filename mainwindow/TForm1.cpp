#include "mainwindow/TForm1.h"

#include "mainwindow/RowFormat.h"
#include "mainwindow/TableReport.h"
#include "mainwindow/WindowPlacement.h"
#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/FileHandle.h"
#include "support/IntParser.h"
#include "support/StrHF.h"
#include "support/__Bin.h"
#include "support/__Files.h"
#include "support/__Str.h"
#include "ui/EventGuard.h"
#include "ui/dialogs/Dialogs.h"
#include "ui/dialogs/ErrorBox.h"
#include "ui/dialogs/InputPrompt.h"
#include "ui/dialogs/TMessageForm.h"
#include "ui/grid/ByteGrid.h"
#include "ui/spin/SpinButton.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <sys/stat.h>

namespace {

// The program's texts live in the UTF-8 sources; the program itself works in Windows-1251.
std::string text(const char* utf8)
{
    return Cp1251::fromUtf8(utf8);
}

QString qtext(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

const char* const FileSection = "File";
const char* const NameFileKey = "NameFile";
const char* const StartByteKey = "StartByte";

// The last block shows the last 8191 bytes of the file.
constexpr std::int32_t EndPlacement = 8191;
// A load lets the toolkit process pending events after every this many rows.
constexpr int RowsBetweenEvents = 256;
constexpr std::int32_t OffsetColumnWidth = 120;

// Filters are kept as "description|pattern|description|pattern"; "*.*" matches every file, as users of
// such filters expect, also names without a dot.
QStringList nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        filters << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return filters;
}

std::string directoryPart(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool fileExists(const std::string& path)
{
    struct stat st { };
    // A name with a NUL byte in it (from a damaged settings file) names no file; the system would see only
    // the part before the NUL.
    return !path.empty() && path.find('\0') == std::string::npos && ::stat(path.c_str(), &st) == 0
        && !S_ISDIR(st.st_mode);
}

QFrame* panel(QWidget* parent, const char* name, int lineWidth)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(lineWidth);
    return frame;
}

// Drops commands that would start a second load inside a running one.
class LoadingScope {
public:
    explicit LoadingScope(bool& flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~LoadingScope() { m_flag = false; }
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;

private:
    bool& m_flag;
};

class WaitCursor {
public:
    explicit WaitCursor(QWidget* window)
        : m_window(window)
    {
        m_window->setCursor(Qt::WaitCursor);
    }
    ~WaitCursor() { m_window->unsetCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    QWidget* m_window;
};

} // namespace

TForm1::TForm1(std::string programDir, QWidget* parent)
    : QWidget(parent)
    , m_programDir(std::move(programDir))
    , m_rowBytes(BlockSpan + 2, -1)
{
    buildControls();
    buildMenu();
    buildDialogs();
    // An error while restoring the last file is shown, and the window is still created and shown.
    guarded([this] { FormCreate(); });
}

TForm1::~TForm1()
{
    SG1->setHandler(nullptr);
    SpinButton1->setHandler(nullptr);
}

void TForm1::buildControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(qtext("Простой редактор двоичных файлов"));
    move(281, 104);
    resize(567, 470);

    Panel1 = panel(this, "Panel1", 1);
    Panel1->setFixedHeight(29);
    SpinButton1 = new SpinButton(Panel1);
    SpinButton1->setObjectName(QStringLiteral("SpinButton1"));
    SpinButton1->setGeometry(16, 2, 20, 25);
    SpinButton1->setToolTip(qtext("Перейти к след. блоку (8192 байта)"));
    SpinButton1->setHandler(this);
    SpinButton1->setAccessibleName(qtext("Переход по блокам"));
    CheckBox1 = new QCheckBox(qtext("Разрешить запись на диск"), Panel1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    // The sizes were laid out for a narrower font than most desktops have: never cut the caption.
    CheckBox1->setGeometry(64, 6, std::max(169, CheckBox1->sizeHint().width()), 17);
    CheckBox1->setToolTip(qtext("Запись каждого измененного байта"));
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { guarded([this] { CheckBox1Click(); }); });
    Label2 = new QLabel(qtext("Quillmoor · побайтно"), Panel1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFixedWidth(165);
    Label2->setStyleSheet(QStringLiteral("color: grey"));
    auto* panel1Layout = new QHBoxLayout(Panel1);
    panel1Layout->setContentsMargins(1, 1, 1, 1);
    panel1Layout->addStretch();
    panel1Layout->addWidget(Label2);

    Panel2 = panel(this, "Panel2", 1);
    GroupBox1 = new QGroupBox(qtext("Файл : "), Panel2);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    // 42 pixels high as laid out, or more when the caption's font needs it, so the path box is never cut.
    GroupBox1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    GroupBox1->setMinimumHeight(42);
    Panel3 = panel(GroupBox1, "Panel3", 2);
    Panel3->setFixedSize(291, 27);
    SpeedButton1 = new QToolButton(Panel3);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("..."));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setGeometry(2, 2, 23, 22);
    SpeedButton1->setToolTip(qtext("Открыть файл"));
    SpeedButton1->setAccessibleName(qtext("Открыть файл"));
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton1Click(); }); });
    EditNameF = new QLineEdit(Panel3);
    EditNameF->setObjectName(QStringLiteral("EditNameF"));
    EditNameF->setGeometry(32, 3, 257, 21);
    EditNameF->setFocusPolicy(Qt::ClickFocus);
    EditNameF->setAccessibleName(qtext("Путь к файлу"));
    QPalette silver = EditNameF->palette();
    silver.setColor(QPalette::Base, QColor(192, 192, 192));
    EditNameF->setPalette(silver);
    Panel4 = panel(GroupBox1, "Panel4", 2);
    Panel4->setFixedHeight(27);
    Label1 = new QLabel(qtext("Размер (байт) = "), Panel4);
    Label1->setObjectName(QStringLiteral("Label1"));
    LabelSizeF = new QLabel(QStringLiteral("0"), Panel4);
    LabelSizeF->setObjectName(QStringLiteral("LabelSizeF"));
    QFont bold = LabelSizeF->font();
    bold.setBold(true);
    LabelSizeF->setFont(bold);
    LabelSizeF->setAccessibleName(qtext("Размер файла в байтах: 0"));
    auto* panel4Layout = new QHBoxLayout(Panel4);
    panel4Layout->setContentsMargins(2, 0, 2, 0);
    panel4Layout->setSpacing(0);
    panel4Layout->addWidget(Label1);
    panel4Layout->addWidget(LabelSizeF);
    panel4Layout->addStretch();
    auto* group1Layout = new QHBoxLayout(GroupBox1);
    group1Layout->setContentsMargins(2, 0, 2, 2);
    group1Layout->setSpacing(0);
    group1Layout->addWidget(Panel3);
    group1Layout->addWidget(Panel4);

    Panel5 = panel(Panel2, "Panel5", 2);
    GroupBox2 = new QGroupBox(Panel5);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    SG1 = new ByteGrid(GroupBox2);
    SG1->setObjectName(QStringLiteral("SG1"));
    SG1->setHandler(this);
    SG1->setAccessibleName(qtext("Таблица байтов"));
    auto* group2Layout = new QVBoxLayout(GroupBox2);
    group2Layout->setContentsMargins(2, 2, 2, 2);
    group2Layout->addWidget(SG1);
    auto* panel5Layout = new QVBoxLayout(Panel5);
    panel5Layout->setContentsMargins(2, 2, 2, 2);
    panel5Layout->addWidget(GroupBox2);
    auto* panel2Layout = new QVBoxLayout(Panel2);
    panel2Layout->setContentsMargins(1, 1, 1, 1);
    panel2Layout->setSpacing(0);
    panel2Layout->addWidget(GroupBox1);
    panel2Layout->addWidget(Panel5, 1);

    auto* windowLayout = new QVBoxLayout(this);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    windowLayout->setSpacing(0);
    windowLayout->addWidget(Panel2, 1);
    windowLayout->addWidget(Panel1);

    setTabOrder(CheckBox1, SG1);

    // The open button and the spin button never take the keyboard focus, so they get keys of their own: without
    // them a keyboard-only user could neither open a file nor page through it.
    auto shortcut = [this](QKeySequence keys, void (TForm1::*command)()) {
        auto* action = new QAction(this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(
            action, &QAction::triggered, this, [this, command] { guarded([this, command] { (this->*command)(); }); });
        addAction(action);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), &TForm1::SpeedButton1Click);
    shortcut(QKeySequence(Qt::ALT | Qt::Key_PageUp), &TForm1::SpinButton1UpClick);
    shortcut(QKeySequence(Qt::ALT | Qt::Key_PageDown), &TForm1::SpinButton1DownClick);
}

void TForm1::buildMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](const char* name, const char* caption, void (TForm1::*command)()) {
        QAction* action = PopupMenu1->addAction(qtext(caption));
        action->setObjectName(QString::fromLatin1(name));
        connect(
            action, &QAction::triggered, this, [this, command] { guarded([this, command] { (this->*command)(); }); });
    };
    auto separator = [this](const char* name) { PopupMenu1->addSeparator()->setObjectName(QString::fromLatin1(name)); };
    item("N3", "Перейти к началу файла", &TForm1::N3Click);
    item("N4", "Перейти в конец файла", &TForm1::N4Click);
    item("N5", "Перейти на заданный байт", &TForm1::N5Click);
    separator("N2");
    item("N1", "Сохранить таблицу в текст.файл", &TForm1::N1Click);
    separator("N6");
    item("N01", "Изменить ширину 0-й колонки", &TForm1::N01Click);
    SG1->setPopupMenu(PopupMenu1);
}

void TForm1::buildDialogs()
{
    OD1 = new QFileDialog(this);
    OD1->setObjectName(QStringLiteral("OD1"));
    OD1->setWindowTitle(qtext("Открыть файл"));
    OD1->setFileMode(QFileDialog::ExistingFile);
    OD1->setAcceptMode(QFileDialog::AcceptOpen);
    OD1->setNameFilters(nameFilters(qtext("Все файлы|*.*|Excel-файлы|*.xls")));
    OD1->setOption(QFileDialog::DontUseNativeDialog);
    OD1->setSizeGripEnabled(true);

    SD1 = new QFileDialog(this);
    SD1->setObjectName(QStringLiteral("SD1"));
    SD1->setAcceptMode(QFileDialog::AcceptSave);
    SD1->setFileMode(QFileDialog::AnyFile);
    SD1->setDefaultSuffix(QStringLiteral("TXT"));
    SD1->setNameFilters(nameFilters(qtext("Текстовые файлы|*.TXT|Все файлы|*.*")));
    SD1->setOption(QFileDialog::DontUseNativeDialog);
    SD1->setSizeGripEnabled(true);
}

void TForm1::FormCreate()
{
    if (m_programDir.empty())
        m_programDir = ProgramDir();
    EditPending = false;
    EditCol = -1;
    EditRow = -1;
    SG1->setCell(0, 0, text("Nбайта"));
    SG1->setCell(1, 0, "Hex");
    SG1->setCell(2, 0, "Dec");
    SG1->setCell(3, 0, "Bin");
    SG1->setCell(4, 0, "Ascii");
    StartByte = 0;
    SG1->setColWidth(0, OffsetColumnWidth);
    const QString initialDirectory = QFile::decodeName(QByteArray::fromStdString(m_programDir));
    SD1->setDirectory(initialDirectory);
    OD1->setDirectory(initialDirectory);

    // Restore the last file and position. Both keys are read before the file is looked for, and the stored
    // start is used as it is.
    setCurrentFile(SettingsReadString(settingsPath(), FileSection, NameFileKey, ""));
    StartByte = SettingsReadInt(settingsPath(), FileSection, StartByteKey, 0);
    const std::string path = currentFile();
    if (!fileExists(path))
        return;
    presetOpenDialog(path);
    setWindowTitle(qtext("Файл : ") + QFile::decodeName(QByteArray::fromStdString(path)));
    setCurrentFile(path);
    showFileSize(path);
    LoadBlock(StartByte);
}

void TForm1::SpeedButton1Click()
{
    if (m_loading)
        return;
    presetOpenDialog(currentFile());
    const auto chosen = dialogs().execFileDialog(*OD1);
    if (!chosen)
        return;
    commitBeforeBlockChange();
    setWindowTitle(qtext("Файл : ") + QFile::decodeName(QByteArray::fromStdString(*chosen)));
    setCurrentFile(*chosen);
    showFileSize(*chosen);
    StartByte = 0;
    LoadBlock(0);
    SettingsWriteString(settingsPath(), FileSection, NameFileKey, currentFile());
    SettingsWriteInt(settingsPath(), FileSection, StartByteKey, StartByte);
}

bool TForm1::FormCloseQuery()
{
    return true;
}

void TForm1::SpinButton1UpClick()
{
    if (canNavigate())
        moveBlock([this] { return std::int64_t(StartByte) - BlockSpan; });
}

void TForm1::SpinButton1DownClick()
{
    if (canNavigate())
        moveBlock([this] { return placed(std::int64_t(StartByte) + BlockSpan); });
}

void TForm1::N3Click()
{
    if (canNavigate())
        moveBlock([] { return 0; });
}

void TForm1::N4Click()
{
    if (canNavigate())
        moveBlock([this] { return std::int64_t(FileSizeOf(currentFile())) - EndPlacement; });
}

void TForm1::N5Click()
{
    if (!canNavigate())
        return;
    std::int32_t n = 0;
    if (!readNumber(text("Перейти к байту N"), text("Введите число (Dec)"), std::to_string(StartByte), n))
        return;
    // A start inside the last 8191 bytes would show a stub of a block (a single row would even leave every
    // navigation command without effect), so the last block is shown instead, as for a start past the end.
    moveBlock([this, n] { return std::min<std::int64_t>(n, std::int64_t(FileSizeOf(currentFile())) - EndPlacement); });
}

void TForm1::moveBlock(const std::function<std::int64_t()>& newStart)
{
    commitBeforeBlockChange();
    StartByte = static_cast<std::int32_t>(std::clamp<std::int64_t>(newStart(), 0, INT32_MAX));
    LoadBlock(StartByte);
    storeStartByte();
}

void TForm1::N01Click()
{
    std::int32_t width = 0;
    if (!readNumber(
            text("Ширина колонки N 0"), text("Введите число (пикселей)"), std::to_string(SG1->colWidth(0)), width))
        return;
    SG1->setColWidth(0, width > 0 ? width : OffsetColumnWidth);
}

void TForm1::N1Click()
{
    if (m_loading)
        return;
    const auto chosen = dialogs().execFileDialog(*SD1);
    if (!chosen)
        return;
    FileHandle file;
    if (const int err = file.open(*chosen, FileHandle::Mode::CreateText))
        throw EInOutError::fromErrno(err);
    const TableReport report(
        TableReport::dateLineForNow(), currentFile(),
        [this](std::int32_t col, std::int32_t row) -> const std::string& { return SG1->cell(col, row); },
        SG1->rowCount() - 1);
    report.write([&file](const std::string& piece) { file.write(piece); });
    file.closeChecked();
    ShowNotice(text("Готово !"));
}

void TForm1::CheckBox1Click()
{
    QPalette palette = CheckBox1->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    CheckBox1->setPalette(palette);
    SG1->setEditing(false);
    if (CheckBox1->isChecked()) {
        palette.setColor(QPalette::WindowText, Qt::red);
        CheckBox1->setPalette(palette);
        SG1->setEditing(true);
    }
}

void TForm1::SG1SetEditText(std::int32_t ACol, std::int32_t ARow, const std::string& Value)
{
    // The grid also reports a hand-back of its editor; only a text other than what the program last put into
    // the cell is a change of the user's.
    const bool knownRow = ARow >= 0 && ARow < static_cast<std::int32_t>(m_rowBytes.size()) && m_rowBytes[ARow] >= 0;
    const std::string programText = (knownRow && ACol >= 1 && ACol <= 4)
        ? valueTexts(static_cast<std::uint8_t>(m_rowBytes[ARow]))[ACol - 1]
        : std::string();
    if (m_leavingBlock || Value == programText)
        return;
    EditPending = true;
    EditCol = ACol;
    EditRow = ARow;
}

void TForm1::SG1SelectCell(std::int32_t, std::int32_t, bool&)
{
    commitPendingEdit();
}

void TForm1::commitBeforeBlockChange()
{
    try {
        commitPendingEdit();
    } catch (const EConvertError& error) {
        // The edit cannot wait for a correction any more: its row is about to show another byte. It is dropped,
        // and the error box says why nothing was written; holding the command back would leave the user stuck
        // whenever the text cannot be corrected (the write switch cleared, no file to go back to).
        EditPending = false;
        if (EditRow >= 0 && EditRow < static_cast<std::int32_t>(m_rowBytes.size()) && m_rowBytes[EditRow] >= 0)
            showRowValue(EditRow, static_cast<std::uint8_t>(m_rowBytes[EditRow]));
        ShowErrorBox(error);
    }
}

void TForm1::commitPendingEdit()
{
    const std::int64_t offset = std::int64_t(StartByte) + EditRow - 1;
    if (EditPending && offset >= 0) {
        std::string t = SG1->cell(EditCol, EditRow);
        TrimSpaces(t);
        std::int32_t value = 0;
        if (!t.empty()) {
            switch (EditCol) {
            case 1:
                value = parseInt("$" + t);
                break;
            case 2:
                value = parseInt(t);
                break;
            case 3:
                value = BinStrToByte(t);
                break;
            default:
                value = static_cast<unsigned char>(t.front());
                break;
            }
        }
        auto v = static_cast<std::uint8_t>(value & 0xFF);
        const std::string& path = m_blockFile;
        const bool inBlock = EditRow >= 1 && EditRow <= m_loadedRows && offset <= INT32_MAX;
        if (CheckBox1->isChecked()) {
            if (!inBlock || !WriteByteAt(path, static_cast<std::int32_t>(offset), v))
                ShowNotice(text("Ошибка при записи в файл"));
        } else if (inBlock) {
            // Nothing is written while the switch is clear, so the row shows the byte the file really holds.
            FileHandle file;
            if (file.open(path, FileHandle::Mode::Read) == 0) {
                try {
                    v = file.readByteAt(offset);
                } catch (const EInOutError&) {
                }
            }
        }
        showRowValue(EditRow, v);
    }
    EditPending = false;
}

void TForm1::showRowValue(std::int32_t row, std::uint8_t v)
{
    if (row >= 0 && row < static_cast<std::int32_t>(m_rowBytes.size()))
        m_rowBytes[row] = v;
    auto texts = valueTexts(v);
    for (std::int32_t col = 1; col <= 4; ++col)
        SG1->setCell(col, row, std::move(texts[col - 1]));
}

void TForm1::LoadBlock(std::int32_t start)
{
    const LoadingScope loading(m_loading);
    {
        // The editor this hands back belongs to the block being left: its text is no edit of the new one.
        const LoadingScope leaving(m_leavingBlock);
        SG1->setRowCount(2);
    }
    m_loadedRows = 0;
    const std::string path = currentFile();
    m_blockFile = path;
    const std::int32_t size = FileSizeOf(path);
    if (size < 1) {
        ShowNotice(text("Ошибка при открытии файла"));
        return;
    }
    FileHandle file;
    if (file.open(path, FileHandle::Mode::Read) != 0) {
        ShowNotice(text("Ошибка при открытии файла"));
        return;
    }
    const WaitCursor cursor(this);
    int rowsSinceEvents = 0;
    for (std::int64_t o = start; o <= std::int64_t(start) + BlockSpan; ++o) {
        if (o >= size)
            break;
        const std::uint8_t v = file.readByteAt(o);
        const auto r = static_cast<std::int32_t>(o - start + 1);
        if (SG1->rowCount() < r + 1)
            SG1->setRowCount(r + 1);
        SG1->setCell(0, r, offsetText(o));
        showRowValue(r, v);
        m_loadedRows = r;
        if (++rowsSinceEvents == RowsBetweenEvents) {
            rowsSinceEvents = 0;
            QCoreApplication::processEvents();
        }
    }
}

std::string TForm1::currentFile() const
{
    const QString shown = EditNameF->text();
    if (shown == QFile::decodeName(QByteArray::fromStdString(m_shownPath)))
        return m_shownPath;
    return QFile::encodeName(shown).toStdString();
}

void TForm1::setCurrentFile(const std::string& path)
{
    m_shownPath = path;
    EditNameF->setText(QFile::decodeName(QByteArray::fromStdString(path)));
}

void TForm1::showFileSize(const std::string& path)
{
    // Offsets stop at 2 GiB, but the size shown is the file's true one.
    const std::int64_t size = trueFileSize(path);
    LabelSizeF->setText(QString::number(size));
    // A label's accessible name replaces its text for a screen reader: the name carries the number too.
    LabelSizeF->setAccessibleName(qtext("Размер файла в байтах: ") + QString::number(size));
}

void TForm1::presetOpenDialog(const std::string& path)
{
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    const std::string directory = directoryPart(path);
    if (!directory.empty())
        OD1->setDirectory(QFile::decodeName(QByteArray::fromStdString(directory)));
    OD1->selectFile(name);
}

void TForm1::storeStartByte()
{
    SettingsWriteInt(settingsPath(), FileSection, StartByteKey, StartByte);
}

bool TForm1::canNavigate() const
{
    return !m_loading && SG1->rowCount() > 2;
}

std::int32_t TForm1::placed(std::int64_t start) const
{
    const std::int64_t size = FileSizeOf(currentFile());
    if (start >= size)
        start = size - EndPlacement;
    return static_cast<std::int32_t>(std::max<std::int64_t>(start, 0));
}

bool TForm1::readNumber(const std::string& caption, const std::string& prompt, std::string preset, std::int32_t& number)
{
    if (!InputPrompt(caption, prompt, preset))
        return false;
    TrimSpaces(preset);
    const auto parsed = tryParseInt(preset);
    if (!parsed) {
        ShowNotice(text("Бестолочь! Это=") + '"' + preset + '"' + text("  НЕ число !"));
        return false;
    }
    number = *parsed;
    return true;
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    m_placing = true;
    placeOnScreen();
}

bool TForm1::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // Most window managers frame the window only once it is shown, and Qt learns the frame's size later still:
    // the window manager's move of the window or its activation brings it. With the frame known, the window is
    // placed once more, so that the frame fits the screen too.
    const bool frameNews = event->type() == QEvent::Move || event->type() == QEvent::WindowActivate;
    if (frameNews && m_placing && windowHandle() && windowHandle()->frameMargins() != m_placedFrame) {
        m_placing = false;
        placeOnScreen();
    }
    return handled;
}

void TForm1::placeOnScreen()
{
    // The designed place and outer size, frame included.
    const QRect designed(281, 104, 567, 470);
    const QScreen* where = QGuiApplication::screenAt(designed.topLeft());
    if (!where)
        where = screen();
    const QRect outer = placeWindow(designed, where ? where->availableGeometry() : QRect());
    m_placedFrame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    resize(outer.size().shrunkBy(m_placedFrame));
    // A window's position is that of its frame.
    move(outer.topLeft());
}

void TForm1::selectCell(std::int32_t ACol, std::int32_t ARow, bool& CanSelect)
{
    SG1SelectCell(ACol, ARow, CanSelect);
}

void TForm1::setEditText(std::int32_t ACol, std::int32_t ARow, const std::string& Value)
{
    SG1SetEditText(ACol, ARow, Value);
}

void TForm1::upClick()
{
    SpinButton1UpClick();
}

void TForm1::downClick()
{
    SpinButton1DownClick();
}
