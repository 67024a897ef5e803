#pragma once

#include <QString>

namespace kalmix {

// What the game shows on the main window; the main window implements it. Row 0 is the first
// picture row (imgSymbolX), row 1 the second (imgSymbolY); slots run from 0 to 24.
class Board {
public:
    virtual ~Board() = default;

    virtual void showTaskFrame(bool visible) = 0;      // fraUebung
    virtual void setTaskText(const QString& text) = 0; // lblAufgabe
    virtual QString taskText() const = 0;
    virtual void showTaskText(bool visible) = 0;
    virtual void showQuestion(bool visible) = 0; // lblFrage
    // Moves the answer box behind the question (picture kinds) or the task text, empties it,
    // shows it and gives it the keyboard focus.
    virtual void openAnswerBox(bool pictureKind) = 0;
    virtual void hideAnswerBox() = 0;
    virtual QString answerText() const = 0;
    // Puts a text into the answer box with the caret after its last character.
    virtual void setAnswerText(const QString& text) = 0;
    virtual void showSymbol(int row, int slot, int symbol) = 0;
    virtual void hideSymbol(int row, int slot) = 0;
    virtual void showJaNein(int index, bool visible) = 0; // 0 right, 1 wrong
    // The look of the right picture: with the light bulb for an answer the help filled in.
    virtual void setRightHelped(bool helped) { (void)helped; }
    virtual void setButtonEnabled(int button, bool enabled) = 0; // PicBut index
    virtual void focusButton(int button) = 0;
    virtual void setNumber(const QString& text) = 0; // lblNumber
    virtual void setTime(const QString& text) = 0;   // lblTime
    // The time left of a time-limited round: the clock's caption says it counts down.
    virtual void setTimeLeft(const QString& text) { setTime(text); }
    virtual void setKeyPreview(bool on) = 0;
    virtual bool keyPreview() const = 0;
    // The progress bar (imgStift) and the figure (imgMeter), in window units.
    virtual int barLeft() const = 0;
    virtual int barWidth() const = 0;
    virtual double meterLeft() const = 0;
    virtual void setMeterLeft(double left) = 0;
    virtual void setMeterPicture(int icon) = 0; // 101 to 105
};

} // namespace kalmix
