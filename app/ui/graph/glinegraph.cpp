#include "glinegraph.h"

#include <QSGFlatColorMaterial>
#include <QSGGeometryNode>

#include <cmath>

namespace korvane {

namespace {

// Room for a recording's points: ten a second, a few more, and more again when it overflows.
int segmentsFor(double duration, qsizetype needed)
{
    const int planned = static_cast<int>(std::ceil(std::max(duration, 1.0) * 10)) + 8;
    int room = planned;
    while (room < needed)
        room *= 2;
    return room;
}

void setSegment(QSGGeometry::Point2D *vertices, qsizetype segment, QPointF from, QPointF to)
{
    vertices[2 * segment].set(static_cast<float>(from.x()), static_cast<float>(from.y()));
    vertices[2 * segment + 1].set(static_cast<float>(to.x()), static_cast<float>(to.y()));
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

QSGNode *GLineGraph::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    const QList<GSample> samples = m_buffer ? m_buffer->samples() : QList<GSample>();
    const qsizetype segments = samples.size() - 1;
    // Fewer than two points, or no length to spread them over: nothing to draw.
    if (segments < 1 || m_duration <= 0 || width() <= 0 || height() <= 0) {
        delete old;
        m_drawn = 0;
        m_redraw = true;
        return nullptr;
    }
    auto *node = static_cast<QSGGeometryNode *>(old);
    if (!node) {
        node = new QSGGeometryNode;
        auto *geometry = new QSGGeometry(QSGGeometry::defaultAttributes_Point2D(), 0);
        geometry->setDrawingMode(QSGGeometry::DrawLines);
        geometry->setLineWidth(1);
        node->setGeometry(geometry);
        node->setFlag(QSGNode::OwnsGeometry);
        node->setMaterial(new QSGFlatColorMaterial);
        node->setFlag(QSGNode::OwnsMaterial);
        m_redraw = true;
    }
    QSGGeometry *geometry = node->geometry();
    if (geometry->vertexCount() < 2 * segments) {
        geometry->allocate(2 * segmentsFor(m_duration, segments));
        m_redraw = true;
    }
    auto *material = static_cast<QSGFlatColorMaterial *>(node->material());
    if (material->color() != m_color) {
        material->setColor(m_color);
        node->markDirty(QSGNode::DirtyMaterial);
    }
    const QSizeF size(width(), height());
    QSGGeometry::Point2D *vertices = geometry->vertexDataAsPoint2D();
    const qsizetype first = m_redraw ? 0 : std::min(m_drawn, segments);
    for (qsizetype s = first; s < segments; ++s)
        setSegment(vertices, s, graphPoint(samples[s], m_duration, size),
                   graphPoint(samples[s + 1], m_duration, size));
    if (m_redraw) {
        // The room not drawn yet holds segments of no length, out of sight.
        for (qsizetype s = segments; s < geometry->vertexCount() / 2; ++s)
            setSegment(vertices, s, {-4, -4}, {-4, -4});
    }
    m_drawn = segments;
    m_redraw = false;
    node->markDirty(QSGNode::DirtyGeometry);
    return node;
}

} // namespace korvane
