#include "ui/grid/GridCellImages.h"

#include <QPaintEngine>
#include <QPainter>

#include <cmath>

namespace {

// Cells painted once and not yet again: beyond this many, the oldest sightings are forgotten with the rest.
constexpr std::size_t MaxSeen = 4096;

std::size_t mixed(std::size_t seed, std::size_t value)
{
    return seed ^ (value + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2));
}

std::size_t hashOf(std::string_view text, QSize size, const std::array<QRgb, 5>& colors, bool bevel, qreal scale,
    QImage::Format format)
{
    std::size_t seed = std::hash<std::string_view>()(text);
    seed = mixed(seed, static_cast<std::size_t>(size.width()) << 16 ^ static_cast<std::size_t>(size.height()));
    for (const QRgb color : colors)
        seed = mixed(seed, color);
    seed = mixed(seed, std::hash<qreal>()(scale));
    return mixed(seed, static_cast<std::size_t>(format) << 1 | (bevel ? 1 : 0));
}

bool opaque(const GridCellImages::Look& look)
{
    return qAlpha(look.line) == 255 && qAlpha(look.fill) == 255 && qAlpha(look.ink) == 255
        && (!look.bevel || (qAlpha(look.light) == 255 && qAlpha(look.dark) == 255));
}

bool whole(qreal value)
{
    return std::abs(value - std::round(value)) < 1e-9;
}

} // namespace

std::size_t GridCellImages::Hash::operator()(const Key& key) const
{
    return hashOf(
        key.text, key.size, { key.line, key.fill, key.ink, key.light, key.dark }, key.bevel, key.scale, key.format);
}

std::size_t GridCellImages::Hash::operator()(const KeyView& key) const
{
    const Look& look = key.look;
    return hashOf(look.text, key.size, { look.line, look.fill, look.ink, look.light, look.dark }, look.bevel, key.scale,
        key.format);
}

bool GridCellImages::Equal::operator()(const KeyView& a, const Key& b) const
{
    const Look& look = a.look;
    return look.text == b.text && a.size == b.size && look.line == b.line && look.fill == b.fill && look.ink == b.ink
        && look.light == b.light && look.dark == b.dark && look.bevel == b.bevel && a.scale == b.scale
        && a.format == b.format;
}

void GridCellImages::setFont(const QFont& font)
{
    if (font == m_font)
        return;
    m_font = font;
    m_images.clear();
    m_seen.clear();
    m_bytes = 0;
}

const QImage* GridCellImages::alignedTarget(const QPainter& painter, QRect rect)
{
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || painter.opacity() != 1
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return nullptr;
    const QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    const auto* image = static_cast<const QImage*>(device);
    const qreal scale = image->devicePixelRatio();
    const QTransform toDevice = painter.deviceTransform();
    if (toDevice.type() > QTransform::TxScale || toDevice.m11() != scale || toDevice.m22() != scale)
        return nullptr;
    const QPointF corner = toDevice.map(QPointF(rect.topLeft()));
    if (!whole(corner.x()) || !whole(corner.y()) || !whole(rect.width() * scale) || !whole(rect.height() * scale))
        return nullptr;
    return image;
}

void GridCellImages::draw(QPainter& painter, QRect rect, const Look& look, const Paint& paint)
{
    const QImage* target = rect.isEmpty() || !opaque(look) ? nullptr : alignedTarget(painter, rect);
    if (!target) {
        paint(painter, rect);
        return;
    }
    const KeyView key { look, rect.size(), target->devicePixelRatio(), target->format() };
    if (const auto found = m_images.find(key); found != m_images.end()) {
        painter.drawImage(rect.topLeft(), found->second);
        return;
    }
    paint(painter, rect);
    const std::size_t hash = Hash()(key);
    if (m_seen.erase(hash) == 0) {
        if (m_seen.size() >= MaxSeen)
            m_seen.clear();
        m_seen.insert(hash);
        return;
    }
    keep(*target, key, rect, painter, paint);
}

void GridCellImages::keep(
    const QImage& target, const KeyView& key, QRect rect, const QPainter& painter, const Paint& paint)
{
    QImage image(qRound(rect.width() * key.scale), qRound(rect.height() * key.scale), target.format());
    image.setDevicePixelRatio(key.scale);
    // The font's pixel size follows the device's resolution, as on the target.
    image.setDotsPerMeterX(target.dotsPerMeterX());
    image.setDotsPerMeterY(target.dotsPerMeterY());
    {
        QPainter onImage(&image);
        onImage.setRenderHints(painter.renderHints());
        onImage.setFont(painter.font());
        paint(onImage, QRect(QPoint(0, 0), rect.size()));
    }
    if (m_bytes + static_cast<std::size_t>(image.sizeInBytes()) > MaxBytes) {
        m_images.clear();
        m_bytes = 0;
    }
    m_bytes += static_cast<std::size_t>(image.sizeInBytes());
    const Look& look = key.look;
    m_images.emplace(Key { std::string(look.text), key.size, look.line, look.fill, look.ink, look.light, look.dark,
                         look.bevel, key.scale, key.format },
        std::move(image));
}
