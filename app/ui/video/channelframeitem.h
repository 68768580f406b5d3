#pragma once

#include <QPointer>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace korvane {

class ChannelPlayer;

// Draws a channel's picture where the scene graph has no GPU (the software renderer), which
// cannot show a VideoOutput. Here the picture is converted to RGB on the CPU.
class ChannelFrameItem : public QQuickPaintedItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject *channel READ channel WRITE setChannel NOTIFY channelChanged)

public:
    explicit ChannelFrameItem(QQuickItem *parent = nullptr);

    QObject *channel() const;
    void setChannel(QObject *channel);
    void paint(QPainter *painter) override;

signals:
    void channelChanged();

private:
    QPointer<ChannelPlayer> m_channel;
    QMetaObject::Connection m_frameConnection;
};

} // namespace korvane
