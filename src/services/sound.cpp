#include "services/sound.h"

#include "services/procedure.h"
#include "services/resfiles.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QtEndian>
#include <memory>

namespace kalmix {

std::int16_t PlaySound = -1;
QByteArray WavDaten;

WavInfo parseWav(const QByteArray& wav) {
    WavInfo info;
    if (wav.size() < 12 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE")
        return info;
    bool haveFormat = false;
    qsizetype pos = 12;
    while (pos + 8 <= wav.size()) {
        const QByteArray id = wav.mid(pos, 4);
        const quint32 size = qFromLittleEndian<quint32>(wav.constData() + pos + 4);
        const qsizetype body = pos + 8;
        const qsizetype avail = std::min<qsizetype>(size, wav.size() - body);
        if (id == "fmt " && avail >= 16) {
            const char* p = wav.constData() + body;
            if (qFromLittleEndian<quint16>(p) != 1) // PCM only
                return info;
            info.channels = qFromLittleEndian<quint16>(p + 2);
            info.sampleRate = static_cast<int>(qFromLittleEndian<quint32>(p + 4));
            info.bitsPerSample = qFromLittleEndian<quint16>(p + 14);
            haveFormat = true;
        } else if (id == "data" && haveFormat) {
            info.samples = wav.mid(body, avail);
            info.ok = info.channels > 0 && info.sampleRate > 0 &&
                      (info.bitsPerSample == 8 || info.bitsPerSample == 16);
            return info;
        }
        pos = body + static_cast<qsizetype>(size) + (size & 1);
    }
    return info;
}

namespace {

class QtSoundPlayer final : public SoundPlayer {
public:
    void play(const QByteArray& wav) override {
        stop();
        const WavInfo info = parseWav(wav);
        if (!info.ok)
            return;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return; // no audio device: stay silent
        QAudioFormat format;
        format.setChannelCount(info.channels);
        format.setSampleRate(info.sampleRate);
        format.setSampleFormat(info.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
        QByteArray samples = info.samples;
        if (!device.isFormatSupported(format) && info.bitsPerSample == 8) {
            // Widen 8-bit unsigned samples for devices that only take 16-bit ones.
            format.setSampleFormat(QAudioFormat::Int16);
            QByteArray wide(samples.size() * 2, Qt::Uninitialized);
            auto* out = reinterpret_cast<qint16*>(wide.data());
            for (qsizetype i = 0; i < samples.size(); ++i)
                out[i] = static_cast<qint16>((static_cast<unsigned char>(samples[i]) - 128) << 8);
            samples = wide;
        }
        if (!device.isFormatSupported(format))
            return;
        m_buffer = std::make_unique<QBuffer>();
        m_buffer->setData(samples);
        m_buffer->open(QIODevice::ReadOnly);
        m_sink = std::make_unique<QAudioSink>(device, format);
        m_sink->start(m_buffer.get());
    }

    void stop() override {
        // The sink stops before its samples are released.
        if (m_sink)
            m_sink->stop();
        m_sink.reset();
        m_buffer.reset();
    }

private:
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<QAudioSink> m_sink;
};

SoundPlayer*& current() {
    static SoundPlayer* p = nullptr;
    return p;
}

} // namespace

SoundPlayer& soundPlayer() {
    if (current())
        return *current();
    // Never destroyed: a sink must not outlive the application object at exit.
    static auto* real = new QtSoundPlayer;
    return *real;
}

void setSoundPlayer(SoundPlayer* player) {
    current() = player;
}

void PlayWAV(std::int32_t resId) {
    Procedure("Allgemein", "PlayWAV")
        .run({
            [&] {
                QByteArray bytes = loadResource(QStringLiteral("WAV"), resId);
                soundPlayer().stop();
                WavDaten = bytes;
            },
            [&] { soundPlayer().play(WavDaten); },
        });
}

} // namespace kalmix
