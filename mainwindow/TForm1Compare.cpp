// The window's comparison of the shown file with another one: its keys, dialogs and notices.
#include "mainwindow/TForm1.h"

#include "mainwindow/BlockRows.h"
#include "mainwindow/Comparison.h"
#include "mainwindow/FileDialogs.h"
#include "mainwindow/PatchCommand.h"
#include "mainwindow/WindowText.h"
#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/FilePath.h"
#include "ui/EscapeWatch.h"
#include "ui/EventGuard.h"
#include "ui/dialogs/Dialogs.h"
#include "ui/dialogs/TMessageForm.h"
#include "ui/grid/ByteGrid.h"

#include <QFileDialog>

using namespace WindowText;

namespace {

void sayOtherFileChanged()
{
    ShowNotice(text("Файл сравнения изменился: сравнение закончено"));
}

} // namespace

Comparison& TForm1::comparison()
{
    if (!m_comparison) {
        m_comparison = std::make_unique<Comparison>(
            m_block, [this] { SG1->viewport()->update(); },
            [this](Comparison::Ended why) {
                // Heard inside a command of the block: said once the command is done.
                if (why == Comparison::Ended::OtherFileChanged)
                    QMetaObject::invokeMethod(
                        this, [] { guarded(sayOtherFileChanged); }, Qt::QueuedConnection);
            });
        m_rows->setComparison(m_comparison.get());
    }
    return *m_comparison;
}

void TForm1::compareWithFile()
{
    if (m_block.busy() || m_block.loaded().empty())
        return;
    if (comparison().active()) {
        m_comparison->end();
        return;
    }
    const std::string folder = directoryPart(m_block.file());
    if (!m_compareDialog)
        m_compareDialog = FileDialogs::newOpenDialog(
            this, QStringLiteral("CompareDialog"), qtext("Сравнить с файлом"), "Все файлы|*", qpath(folder));
    else
        m_compareDialog->setDirectory(qpath(folder));
    const std::optional<std::string> chosen = dialogs().execFileDialog(*m_compareDialog);
    if (!chosen)
        return;
    const EscapeWatch escape;
    const Comparison::Started started
        = m_comparison->start(*chosen, [&escape, this] { return escape.pressed() || !isVisible(); });
    if (started.outcome == Comparison::Outcome::CannotOpen)
        ShowNotice(text("Ошибка при открытии файла"));
    if (started.outcome != Comparison::Outcome::Done)
        return;
    ShowNotice(PatchCommand::comparedText(started.counts, started.ourSize, started.theirSize));
    if (started.counts.first) {
        m_block.goToByte(started.counts.first->begin);
        selectBytes(*started.counts.first);
    }
}

void TForm1::stepDifference(bool forward)
{
    if (!m_comparison || !m_comparison->active() || m_block.busy())
        return;
    const EscapeWatch escape;
    const Comparison::Stepped stepped
        = m_comparison->step(forward, [&escape, this] { return escape.pressed() || !isVisible(); });
    switch (stepped.outcome) {
    case Comparison::Outcome::OtherFileChanged:
        sayOtherFileChanged();
        break;
    case Comparison::Outcome::CannotOpen:
        ShowNotice(text("Ошибка при открытии файла"));
        break;
    case Comparison::Outcome::Stopped:
        break;
    case Comparison::Outcome::Done:
        if (stepped.run)
            selectBytes(*stepped.run);
        else
            ShowNotice(text("Других отличий нет"));
        break;
    }
}

void TForm1::saveDifferences()
{
    if (!m_comparison || !m_comparison->active() || m_block.busy())
        return;
    if (!m_differencesDialog)
        m_differencesDialog = FileDialogs::newSaveDialog(
            this, QStringLiteral("DifferencesDialog"), QStringLiteral("patch"), "Заплатки|*.patch|Все файлы|*", {});
    FileDialogs::presetBeside(*m_differencesDialog, m_block.file(), "patch");
    const std::optional<std::string> chosen = dialogs().execFileDialog(*m_differencesDialog);
    if (!chosen)
        return;
    const EscapeWatch escape;
    Comparison::Outcome saved = Comparison::Outcome::Done;
    try {
        saved = m_comparison->savePatch(*chosen, [&escape, this] { return escape.pressed() || !isVisible(); });
    } catch (const EInOutError& error) {
        throw Exception(error.message() + ": " + Cp1251::fromPath(*chosen));
    }
    switch (saved) {
    case Comparison::Outcome::OtherFileChanged:
        sayOtherFileChanged();
        break;
    case Comparison::Outcome::CannotOpen:
        ShowNotice(text("Ошибка при открытии файла"));
        break;
    case Comparison::Outcome::Stopped:
    case Comparison::Outcome::Done:
        break;
    }
}
