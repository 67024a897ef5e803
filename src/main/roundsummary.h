#pragma once

#include "engine/roundsummary.h"

#include <QFrame>
#include <functional>

class QLabel;
class QPushButton;

namespace kalmix {

// The summary on the board at the end of a round: tasks solved, wrong answers, answers from
// the light bulb, the time and one to three stars. "Play again" starts the same player's next
// round; any key, or a click anywhere but on that button, puts the summary away.
class RoundSummaryPanel : public QFrame {
    Q_OBJECT
public:
    explicit RoundSummaryPanel(QWidget* board);
    ~RoundSummaryPanel() override;

    void showSummary(const RoundSummary& s);
    void dismiss();
    // Writes the shown figures again in the current language.
    void retranslate();
    const RoundSummary& shown() const { return m_summary; }
    QPushButton* playAgain() const { return m_playAgain; }

    std::function<void()> playAgainClicked;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    RoundSummary m_summary;
    QLabel* m_title = nullptr;
    QLabel* m_stars = nullptr;
    QLabel* m_figures = nullptr;
    QPushButton* m_playAgain = nullptr;
};

} // namespace kalmix
