#include "ui/graph/glinegraph.h"

#include <QSGFlatColorMaterial>
#include <QSGGeometryNode>

#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

// The vertices of one segment: a band one pixel wide along it, as two triangles. A rasteriser
// fills a band by the pixels whose middles it covers, which every driver does alike; lines of
// one pixel are left to each driver's own rules, and a level line along the edge between two
// pixel rows lands on one row for one driver and on neither for another.
constexpr int verticesPerSegment = 6;
// A level band one pixel wide at a whole-pixel height has both edges through the middles of two
// pixel rows, and which of them is filled is again the driver's choice. A sixty-fourth of a pixel
// down, it covers exactly the middles of one row.
constexpr double offRowEdge = 1.0 / 64;

void setSegment(QSGGeometry::Point2D *vertices, qsizetype segment, QPointF from, QPointF to)
{
    const QPointF along = to - from;
    const double length = std::hypot(along.x(), along.y());
    const QPointF side =
        length > 0 ? QPointF(-along.y(), along.x()) * (0.5 / length) : QPointF(0, 0);
    const QPointF corners[] = {from + side, from - side, to + side,
                               from - side, to - side,   to + side};
    QSGGeometry::Point2D *at = vertices + verticesPerSegment * segment;
    for (const QPointF &corner : corners)
        (at++)->set(static_cast<float>(corner.x()), static_cast<float>(corner.y() + offRowEdge));
}

} // namespace

GLineGraph::GLineGraph(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents);
}

void GLineGraph::setBuffer(QObject *buffer)
{
    auto *typed = qobject_cast<GGraphBuffer *>(buffer);
    if (m_buffer == typed)
        return;
    if (m_buffer)
        disconnect(m_buffer, nullptr, this, nullptr);
    m_buffer = typed;
    if (m_buffer) {
        connect(m_buffer, &GGraphBuffer::appended, this, &QQuickItem::update);
        connect(m_buffer, &GGraphBuffer::reset, this, &GLineGraph::redrawAll);
    }
    redrawAll();
    emit bufferChanged();
}

void GLineGraph::setColor(const QColor &color)
{
    if (m_color == color)
        return;
    m_color = color;
    redrawAll();
    emit colorChanged();
}

void GLineGraph::setDuration(double duration)
{
    if (m_duration == duration)
        return;
    m_duration = duration;
    redrawAll();
    emit durationChanged();
}

void GLineGraph::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        redrawAll();
}

void GLineGraph::redrawAll()
{
    m_redraw = true;
    update();
}

void GLineGraph::addPoint(QSGGeometry::Point2D *vertices, QPointF point, int lastColumn)
{
    Strokes &strokes = m_strokes;
    const int column = std::clamp(static_cast<int>(std::floor(point.x())), 0, lastColumn);
    const auto y = static_cast<float>(point.y());
    if (column != strokes.column) {
        strokes.top = y;
        strokes.bottom = y;
        if (strokes.column >= 0 && column > strokes.column + 1) {
            // Columns without a point between: a line across them.
            setSegment(vertices, strokes.segments++, strokes.last, point);
            strokes.entry = point;
        } else if (strokes.column >= 0) {
            // The column next to the last one: its stroke reaches back to where the line was.
            strokes.entry = strokes.last;
            strokes.top = std::min(strokes.top, static_cast<float>(strokes.last.y()));
            strokes.bottom = std::max(strokes.bottom, static_cast<float>(strokes.last.y()));
        } else {
            strokes.entry = point;
        }
        strokes.column = column;
        strokes.span = strokes.segments++;
    }
    strokes.top = std::min(strokes.top, y);
    strokes.bottom = std::max(strokes.bottom, y);
    strokes.last = point;
    // Upright through the middle of the column over its values and one pixel on, so that the
    // lowest value's pixel is covered too; while they are one value, the level line to the
    // column's end.
    if (strokes.top < strokes.bottom) {
        const double middle = column + 0.5;
        setSegment(vertices, strokes.span, {middle, strokes.top}, {middle, strokes.bottom + 1.0});
    } else {
        setSegment(vertices, strokes.span, strokes.entry, {column + 1.0, point.y()});
    }
}

QSGNode *GLineGraph::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    const QList<GSample> samples = m_buffer ? m_buffer->samples() : QList<GSample>();
    // Fewer than two points, or no length to spread them over: nothing to draw.
    if (samples.size() < 2 || m_duration <= 0 || width() <= 0 || height() <= 0) {
        delete old;
        m_drawn = 0;
        m_redraw = true;
        return nullptr;
    }
    auto *node = static_cast<QSGGeometryNode *>(old);
    if (!node) {
        node = new QSGGeometryNode;
        auto *geometry = new QSGGeometry(QSGGeometry::defaultAttributes_Point2D(), 0);
        geometry->setDrawingMode(QSGGeometry::DrawTriangles);
        node->setGeometry(geometry);
        node->setFlag(QSGNode::OwnsGeometry);
        node->setMaterial(new QSGFlatColorMaterial);
        node->setFlag(QSGNode::OwnsMaterial);
        m_redraw = true;
    }
    // A stroke and the join before it for every pixel column.
    const int lastColumn = static_cast<int>(std::ceil(width()));
    const int room = 2 * (lastColumn + 1);
    QSGGeometry *geometry = node->geometry();
    if (geometry->vertexCount() != verticesPerSegment * room) {
        geometry->allocate(verticesPerSegment * room);
        m_redraw = true;
    }
    auto *material = static_cast<QSGFlatColorMaterial *>(node->material());
    if (material->color() != m_color) {
        material->setColor(m_color);
        node->markDirty(QSGNode::DirtyMaterial);
    }
    if (m_redraw) {
        m_strokes = {};
        m_drawn = 0;
    }
    const QSizeF size(width(), height());
    QSGGeometry::Point2D *vertices = geometry->vertexDataAsPoint2D();
    for (qsizetype i = m_drawn; i < samples.size(); ++i)
        addPoint(vertices, graphPoint(samples[i], m_duration, size), lastColumn);
    if (m_redraw) {
        // The room not drawn yet holds segments of no length, out of sight.
        for (qsizetype s = m_strokes.segments; s < room; ++s)
            setSegment(vertices, s, {-4, -4}, {-4, -4});
    }
    m_drawn = samples.size();
    m_redraw = false;
    node->markDirty(QSGNode::DirtyGeometry);
    return node;
}

} // namespace korvane
