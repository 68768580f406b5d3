#include "ui/video/channelframeitem.h"

#include "playback/channelplayer.h"

#include <QPainter>

namespace korvane {

ChannelFrameItem::ChannelFrameItem(QQuickItem *parent) : QQuickPaintedItem(parent) {}

QObject *ChannelFrameItem::channel() const
{
    return m_channel;
}

void ChannelFrameItem::setChannel(QObject *channel)
{
    auto *player = qobject_cast<ChannelPlayer *>(channel);
    if (player == m_channel)
        return;
    disconnect(m_frameConnection);
    m_channel = player;
    if (player)
        m_frameConnection =
            connect(player, &ChannelPlayer::frameChanged, this, [this] { update(); });
    emit channelChanged();
    update();
}

void ChannelFrameItem::paint(QPainter *painter)
{
    if (!m_channel)
        return;
    const QImage image = m_channel->currentFrame().toImage();
    if (image.isNull())
        return;
    const QSizeF fitted = QSizeF(image.size()).scaled(size(), Qt::KeepAspectRatio);
    const QRectF target(QPointF((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                        fitted);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(target, image);
}

} // namespace korvane
