#include "ui/grid/GridTextCache.h"

#include "support/Cp1251.h"

#include <QFontMetrics>

#include <algorithm>

void GridTextCache::setFont(const QFont& font)
{
    if (font == m_font)
        return;
    m_font = font;
    m_texts.clear();
}

bool GridTextCache::takes(std::string_view text)
{
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

const GridTextCache::Text& GridTextCache::laidOut(std::string_view text)
{
    if (const auto found = m_texts.find(text); found != m_texts.end())
        return found->second;
    if (m_texts.size() >= MaxTexts)
        m_texts.clear();
    const QString shown = Cp1251::toQString(text);
    Text made { QStaticText(shown), {} };
    made.layout.setTextFormat(Qt::PlainText);
    made.layout.prepare(QTransform(), m_font);
    // Every pixel the outlines touch, smoothed edges included.
    const QFontMetricsF metrics(m_font);
    made.ink = metrics.boundingRect(shown).translated(0, metrics.ascent()).toAlignedRect();
    return m_texts.emplace(text, std::move(made)).first->second;
}

void GridTextCache::draw(QPainter& painter, std::string_view text, QRect room)
{
    if (takes(text)) {
        const Text& made = laidOut(text);
        // Nothing to cut: the laid-out text draws the same pixels.
        if (room.contains(made.ink.translated(room.topLeft()))) {
            painter.drawStaticText(room.topLeft(), made.layout);
            return;
        }
    }
    painter.drawText(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Cp1251::toQString(text));
}
