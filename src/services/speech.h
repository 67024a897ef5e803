#pragma once

#include <QLocale>
#include <QString>
#include <functional>

namespace kalmix {

// Reads texts aloud in the background. Saying a text cuts off the one being said; nothing
// waits for the voice, and without a speech engine, a voice for the language or an audio
// device nothing is heard and nothing is reported.
class Speaker {
public:
    virtual ~Speaker() = default;
    // language: the interface language's digit, 0 German to 6 French.
    virtual void say(const QString& text, int language) = 0;
    virtual void stop() = 0;
    // Asks whether the system has a voice for the language; the answer comes later, on the
    // thread of the event loop, and never while the call runs.
    virtual void askVoice(int language, std::function<void(bool)> answer) = 0;
};

// The speaker the program uses; tests install their own (nullptr restores the real one). The
// real one starts its speech engine at the first text said or voice asked for, not before.
Speaker& speaker();
void setSpeaker(Speaker* s);

// Called on the event loop's thread whenever the real speaker's voice starts to speak (for
// measuring; empty by default).
void setSpeechStartedHook(std::function<void()> hook);

// The locale of a voice for an interface language digit (0 German to 6 French).
QLocale speechLocale(int language);

} // namespace kalmix
