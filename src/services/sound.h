#pragma once

#include <QByteArray>
#include <cstdint>

namespace kalmix {

// Plays complete WAV files from memory in the background. Starting a sound cuts off the one
// playing; without an audio device nothing is heard and nothing is reported.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QByteArray& wav) = 0;
    virtual void stop() = 0;
};

// The player the program uses; tests install their own (nullptr restores the real one).
SoundPlayer& soundPlayer();
void setSoundPlayer(SoundPlayer* player);

// Sound effects on: the callers of PlayWAV test it first.
extern std::int16_t PlaySound;
// The bytes of the sound started last; they stay while it plays.
extern QByteArray WavDaten;

// Starts the sound resource ResId (101 to 111) and returns at once.
void PlayWAV(std::int32_t resId);

// The format and samples of a PCM WAV file; ok is false when the bytes are no such file.
struct WavInfo {
    bool ok = false;
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    QByteArray samples;
};
WavInfo parseWav(const QByteArray& wav);

} // namespace kalmix
