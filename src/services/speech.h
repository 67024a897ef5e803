#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <functional>
#include <memory>

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
    // Gets the voice for the language ready in the background (the speech engine started, the
    // voice chosen), so that the first text is heard at once; for a player who has texts read
    // aloud. Nothing waits for it.
    virtual void prepare(int language) { (void)language; }
};

// The system's speech engine as the speaker uses it, on the speaker's own thread.
class SpeechEngine {
public:
    virtual ~SpeechEngine() = default;
    // The languages it has a voice for. An engine may hold them although it could not take
    // the system's own language (a session in the C locale).
    virtual QList<QLocale> locales() = 0;
    // false when the voice cannot be set.
    virtual bool setLocale(const QLocale& locale) = 0;
    virtual void say(const QString& text) = 0;
    virtual void stop() = 0;
};
// Makes the engine, on the speaker's thread; nullptr when the system has none that works.
using SpeechEngineMaker = std::function<std::unique_ptr<SpeechEngine>()>;

// A speaker of the real kind on its own thread, with the engine the maker gives (the
// system's when it is empty); for tests and measurements.
std::unique_ptr<Speaker> makeSpeaker(SpeechEngineMaker maker = {});

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
