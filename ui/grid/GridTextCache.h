#pragma once

#include <QFont>
#include <QPainter>
#include <QRect>
#include <QStaticText>

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

// Cell texts laid out once and kept ready to draw. Laying a text out costs several times what drawing it does,
// and a grid of bytes shows the same few hundred value texts again and again: every page of a file repaints
// them all. Keyed by the cell's Windows-1251 text, for one font at a time.
class GridTextCache {
public:
    // Enough for every value text of a screen several times over; the offsets, new on every page, empty it now
    // and then rather than grow it without end.
    static constexpr std::size_t MaxTexts = 2048;

    // The font the texts are laid out in; another one empties the cache.
    void setFont(const QFont& font);
    // Draws text in the painter's pen from the top left of room and cut at room's edges, to the pixel as
    // QPainter::drawText(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text) draws it.
    void draw(QPainter& painter, std::string_view text, QRect room);
    [[nodiscard]] std::size_t size() const { return m_texts.size(); }

private:
    struct Text {
        QStaticText layout;
        // Where the text can put ink, from the top left of its line.
        QRect ink;
    };

    // Only texts without control characters are laid out ahead: the drawing of a rectangle's text treats some of
    // those in ways of its own.
    [[nodiscard]] static bool takes(std::string_view text);
    [[nodiscard]] const Text& laidOut(std::string_view text);

    // Looks texts up by view, without making a string of each.
    struct Hash {
        using is_transparent = void;
        [[nodiscard]] std::size_t operator()(std::string_view text) const
        {
            return std::hash<std::string_view>()(text);
        }
    };

    QFont m_font;
    std::unordered_map<std::string, Text, Hash, std::equal_to<>> m_texts;
};
