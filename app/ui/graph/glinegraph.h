#pragma once

#include "gsensorgraph.h"

#include <QColor>
#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

namespace korvane {

// One axis of the G-sensor graph, drawn as lines in the scene graph. A point added during
// playback adds one segment: the cost of a clock tick does not grow with the recording's length.
class GLineGraph : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject *buffer READ buffer WRITE setBuffer NOTIFY bufferChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(double duration READ duration WRITE setDuration NOTIFY durationChanged)

public:
    explicit GLineGraph(QQuickItem *parent = nullptr);

    QObject *buffer() const { return m_buffer; }
    void setBuffer(QObject *buffer);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    double duration() const { return m_duration; }
    void setDuration(double duration);

signals:
    void bufferChanged();
    void colorChanged();
    void durationChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *old, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    void redrawAll();

    QPointer<GGraphBuffer> m_buffer;
    QColor m_color = Qt::white;
    double m_duration = 0;
    bool m_redraw = true;  // every segment is drawn anew at the next frame
    qsizetype m_drawn = 0; // segments drawn so far
};

} // namespace korvane
