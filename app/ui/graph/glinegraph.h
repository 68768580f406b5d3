#pragma once

#include "model/gsensorgraph.h"

#include <QColor>
#include <QPointer>
#include <QQuickItem>
#include <QSGGeometry>
#include <QtQml/qqmlregistration.h>

namespace korvane {

// One axis of the G-sensor graph, drawn as lines one pixel wide in the scene graph. The points
// that fall into one pixel column are drawn as one upright stroke from their lowest to their
// highest value, reaching back to the last value of the column before (a level line while they
// are all one value); columns without a point are crossed by one line.
// The lines never hold more than two segments a column, and a point added during playback
// rewrites or adds one or two of them: neither the work of a clock tick nor the drawing of a
// frame grows with the recording's length.
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
    // The strokes drawn so far, and the column being drawn.
    struct Strokes
    {
        qsizetype segments = 0; // segments written
        int column = -1;        // the pixel column of the last point; -1 before the first
        qsizetype span = 0;     // the segment that is the last column's stroke
        float top = 0;
        float bottom = 0;
        QPointF entry; // where the line came into the column
        QPointF last;
    };

    void redrawAll();
    void addPoint(QSGGeometry::Point2D *vertices, QPointF point, int lastColumn);

    QPointer<GGraphBuffer> m_buffer;
    QColor m_color = Qt::white;
    double m_duration = 0;
    bool m_redraw = true;   // everything is drawn anew at the next frame
    qsizetype m_drawn = 0;  // points drawn so far
    Strokes m_strokes;
};

} // namespace korvane
