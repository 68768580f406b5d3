#pragma once

#include "model/appviewmodel.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>

#include <memory>

namespace korvane::test {

// An application model reading a card image as its card, with a folder standing in for the
// card's FAT volume and sound into a null sink. The test program has working and tools folders
// of its own; each model starts with no copies of recordings in it.
class CardModel
{
public:
    // `soundSink` is where the sound goes, as a GStreamer element description.
    explicit CardModel(const QString &image, const QByteArray &soundSink = "fakesink sync=true");
    ~CardModel();

    AppViewModel &model() { return *m_model; }
    QString volume() const { return m_volume.path(); }
    // Reads the card and waits until the background copying has ended.
    void loadCard();
    // Waits until no recording is being opened and the opened one's metadata has arrived.
    void waitUntilOpened();
    // The row of `filtered` with that name.
    qsizetype row(const QString &name) const;

private:
    QTemporaryDir m_volume;
    std::unique_ptr<AppViewModel> m_model;
    // Every change of the rows shown, checked against the item model contract as it happens: a
    // broken one ends the test program.
    std::unique_ptr<QAbstractItemModelTester> m_rowsChecked;
};

} // namespace korvane::test
