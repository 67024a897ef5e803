#pragma once

#include "engine/board.h"

#include <array>

namespace kalmix {

// The task items the game has put on the board: the task text, the question, the first nine
// pictures of each row and the right and wrong pictures.
struct ShownItems {
    bool taskText = false;
    bool question = false;
    std::array<std::array<int, 9>, 2> symbols{}; // symbol number per row and slot, -1 hidden
    std::array<bool, 2> jaNein{};
    ShownItems() {
        for (auto& row : symbols)
            row.fill(-1);
    }
};

// The board as the game sees it: passes everything on to the main window's board and keeps
// which task items are shown, so that what the options button hid can be shown again.
class ShownBoard final : public Board {
public:
    explicit ShownBoard(Board& board) : m_board(board) {}

    const ShownItems& shown() const { return m_shown; }
    // Puts the items back on the board.
    void showAgain(const ShownItems& items);

    void showTaskFrame(bool visible) override { m_board.showTaskFrame(visible); }
    void setTaskText(const QString& text) override { m_board.setTaskText(text); }
    QString taskText() const override { return m_board.taskText(); }
    void showTaskText(bool visible) override;
    void showQuestion(bool visible) override;
    void openAnswerBox(bool pictureKind) override { m_board.openAnswerBox(pictureKind); }
    void hideAnswerBox() override { m_board.hideAnswerBox(); }
    QString answerText() const override { return m_board.answerText(); }
    void setAnswerText(const QString& text) override { m_board.setAnswerText(text); }
    void showSymbol(int row, int slot, int symbol) override;
    void hideSymbol(int row, int slot) override;
    void showJaNein(int index, bool visible) override;
    void setRightHelped(bool helped) override { m_board.setRightHelped(helped); }
    void setButtonEnabled(int button, bool enabled) override {
        m_board.setButtonEnabled(button, enabled);
    }
    void focusButton(int button) override { m_board.focusButton(button); }
    void setNumber(const QString& text) override { m_board.setNumber(text); }
    void setTime(const QString& text) override { m_board.setTime(text); }
    void setTimeLeft(const QString& text) override { m_board.setTimeLeft(text); }
    void setKeyPreview(bool on) override { m_board.setKeyPreview(on); }
    bool keyPreview() const override { return m_board.keyPreview(); }
    int barLeft() const override { return m_board.barLeft(); }
    int barWidth() const override { return m_board.barWidth(); }
    double meterLeft() const override { return m_board.meterLeft(); }
    void setMeterLeft(double left) override { m_board.setMeterLeft(left); }
    void setMeterPicture(int icon) override { m_board.setMeterPicture(icon); }

private:
    Board& m_board;
    ShownItems m_shown;
};

} // namespace kalmix
