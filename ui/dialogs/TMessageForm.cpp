#include "ui/dialogs/TMessageForm.h"

#include "ui/FramePlacement.h"
#include "ui/dialogs/DialogUnits.h"
#include "ui/dialogs/Dialogs.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

TMessageForm::TMessageForm(const QString& message, QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
            | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QGuiApplication::applicationDisplayName());
    // The platform's message-box font where it reports one, else the application's font.
    setFont(QApplication::font("QMessageBoxLabel"));
    const DialogUnits units = DialogUnits::of(font());
    const QFontMetrics metrics(font());

    const int horizontalMargin = units.horizontal(8);
    const int verticalMargin = units.vertical(8);
    const int verticalSpacing = units.vertical(10);
    const int buttonHeight = units.vertical(14);
    const QString caption = QStringLiteral("OK");
    const int buttonWidth = std::max(units.horizontal(50), metrics.horizontalAdvance(caption) + 8);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 640, 480);
    QSize text
        = metrics.boundingRect(QRect(0, 0, area.width() / 2, 0), Qt::TextWordWrap | Qt::TextExpandTabs, message).size();
    // Even an empty message keeps the height of one line, so the button does not climb into the margin.
    text.setHeight(std::max(text.height(), metrics.height()));

    const int clientWidth = std::max(text.width(), buttonWidth) + 2 * horizontalMargin;
    const int clientHeight = text.height() + buttonHeight + verticalSpacing + 2 * verticalMargin;
    setFixedSize(clientWidth, clientHeight);

    auto* label = new QLabel(message, this);
    label->setObjectName(QStringLiteral("Message"));
    // A message may quote what the user typed; it is shown as it stands, never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(horizontalMargin, verticalMargin, text.width(), text.height());

    auto* ok = new QPushButton(caption, this);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    ok->setGeometry(
        (clientWidth - buttonWidth) / 2, text.height() + verticalMargin + verticalSpacing, buttonWidth, buttonHeight);
    // Escape reaches QDialog::reject(), which closes the form as well; how it was closed is not reported.
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus();

    FramePlacement::install(this, [this, area](const QMargins& frame) { return centredInFrame(size(), frame, area); });
}

void ShowNotice(const std::string& message)
{
    dialogs().notice(message);
}
