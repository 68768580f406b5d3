#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace korvane::test {

// An unfinished dashcam recording made from an encoder's own streams, independently of
// dashcam-sample: what ffmpeg's x264 and x265 write, with their SEI, delimiters, slices, start
// codes and parameter sets, cut into pictures at the delimiters the encoder was asked for, and
// interleaved the way the dashcam does (pictures closed by its end marker, sound runs after
// pictures, metadata records once a second).

struct Camera
{
    int channel = 0; // the end marker's run of 0xFF bytes
    int fps = 30;
    bool hevc = false;
    QString stream;             // the encoder's elementary stream, to compare against
    QList<QByteArray> pictures; // access units in decode order, as they go into the recording
};

// Encodes `frames` pictures of ffmpeg's `source` with `codecArguments` (an encoder and its
// options, which must ask for access unit delimiters: x264 or x265 "aud=1") into
// folder/name.h264 or .hevc, and cuts the stream into pictures at the delimiters.
Camera encodeCamera(const QString &folder, const QString &name, int channel, int fps,
                    const QString &source, int frames, const QStringList &codecArguments);

// The stream of several encodes one after the other, as a camera that changes its settings
// writes it; pictures likewise.
Camera joinCameras(const QString &folder, const QString &name, const QList<Camera> &parts);

// How pictures are shaped before they go in.
void dropDelimiters(Camera &camera);
// Parameter sets only in the first picture that has them.
void keepFirstParameterSetsOnly(Camera &camera);
// H.264 units of nal_ref_idc 3 get another non-zero value, as some cameras write them.
void setReferenceIdc(Camera &camera, int idc);

struct SoundFrames
{
    QList<QByteArray> frames;
    int sampleRate = 8000;
    int samplesPerFrame = 576;
};

// MP3 from libmp3lame: a mono sine with a beep every second.
SoundFrames encodeSound(const QString &folder, int sampleRate, double seconds);

struct RawRecording
{
    QByteArray bytes;
    QList<QByteArray> soundUsed; // the sound frames, in the order they went in
};

// The recording: an ftyp and an unfinished mdat header, then on a clock of 1/600 s every
// camera's due pictures with their end markers, the due sound in runs of at most 1000 bytes
// after pictures, and each second a GPS and a G-sensor record (whose payload begins with
// digits), some in the form with two leading zero bytes.
RawRecording rawRecording(const QList<Camera> &cameras, const SoundFrames &sound);

} // namespace korvane::test
