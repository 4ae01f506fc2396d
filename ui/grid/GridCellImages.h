#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

class QPainter;

// Cells kept as the pixels they were painted with. Drawing a cell's text costs many times copying its pixels, and a
// grid of bytes paints the same few hundred cells again and again: the same value in its column, with the same
// colours, on every page. A cell is kept once it has been painted twice, so that the offsets a page shows only
// once cost nothing to keep; and only where its pixels fall on whole device pixels, so that a copy lands on the
// very pixels the painting would have set.
class GridCellImages {
public:
    // Several screens of cells at a scale of 2; past it every cell is forgotten and kept afresh.
    static constexpr std::size_t MaxBytes = std::size_t(4) << 20;

    // What makes two cells paint the same pixels, apart from where they are.
    struct Look {
        std::string_view text;
        QRgb line = 0;
        QRgb fill = 0;
        QRgb ink = 0;
        // The raised bevel of a header cell, when there is one.
        bool bevel = false;
        QRgb light = 0;
        QRgb dark = 0;
    };
    using Paint = std::function<void(QPainter& painter, QRect rect)>;

    // The font cells are painted in; another one forgets every cell.
    void setFont(const QFont& font);
    // Fills rect as paint paints a cell that looks like look: from the pixels kept of the same cell when there
    // are some, else by paint itself, keeping the pixels when the cell comes a second time.
    void draw(QPainter& painter, QRect rect, const Look& look, const Paint& paint);
    [[nodiscard]] std::size_t size() const { return m_images.size(); }

private:
    struct Key {
        std::string text;
        QSize size;
        QRgb line, fill, ink, light, dark;
        bool bevel;
        qreal scale;
        QImage::Format format;
        bool operator==(const Key&) const = default;
    };
    struct KeyView {
        const Look& look;
        QSize size;
        qreal scale;
        QImage::Format format;
    };
    struct Hash {
        using is_transparent = void;
        [[nodiscard]] std::size_t operator()(const Key& key) const;
        [[nodiscard]] std::size_t operator()(const KeyView& key) const;
    };
    struct Equal {
        using is_transparent = void;
        [[nodiscard]] bool operator()(const Key& a, const Key& b) const { return a == b; }
        [[nodiscard]] bool operator()(const KeyView& a, const Key& b) const;
        [[nodiscard]] bool operator()(const Key& a, const KeyView& b) const { return (*this)(b, a); }
    };

    // The image the painter paints on, when its pixels can take a kept cell at rect: whole device pixels, no
    // turn or skew.
    [[nodiscard]] static const QImage* alignedTarget(const QPainter& painter, QRect rect);
    void keep(const QImage& target, const KeyView& key, QRect rect, const QPainter& painter, const Paint& paint);

    QFont m_font;
    std::unordered_map<Key, QImage, Hash, Equal> m_images;
    // The hashes of cells painted once, not kept yet.
    std::unordered_set<std::size_t> m_seen;
    std::size_t m_bytes = 0;
};
