#pragma once

#include "classserver/classsource.h"
#include "classserver/classupload.h"
#include "engine/board.h"
#include "engine/game.h"
#include "engine/readaloud.h"
#include "history/historystore.h"
#include "main/playerbox.h"

#include <QMargins>
#include <QWidget>
#include <array>
#include <memory>

class QMenu;
class QAction;
class QLabel;
class QLineEdit;
class QToolButton;

namespace kalmix {

class frmUebung;
class BoardHint;
class NumberPad;
class HelpWindow;
class RoundSummaryPanel;

// The main window: the board with the task frame, the panel with the count and the clock,
// the pencil bar with its figure and the toolbar. It shows the game (it is the game's Board)
// and hands the game its keys while key preview is on.
class frmKalmix : public QWidget, public Board {
    Q_OBJECT
public:
    explicit frmKalmix(QWidget* parent = nullptr);
    ~frmKalmix() override;

    Game& game() { return m_game; }

    // Puts the current language's texts on the window.
    void Sprache();
    // Refills the player list from the settings file and selects the active player.
    void ComboAktualisieren();
    // The user picked a player: load the profile and start a game at once.
    void cmbName_Click();
    // The settings window, loaded (hidden) when it is not.
    frmUebung& uebung();
    // Shows the settings window modally; a window unloaded by OK or Cancel is let go.
    // `unlocked`: the grown-up's password, if one is set, was given.
    void showSettingsWizard(bool unlocked = false);

    // The help menu.
    void mnuOnlinehilfe_Click();
    void mnuHomepage_Click();
    void mnuEMail_Click();
    void mnuUeber_Click();
    void mnuBericht_Click();
    // "mailto:", the support address, "?Subject=" and the program title.
    static QString emailAddress();
    HelpWindow* helpWindow() const { return m_help; }
    // The summary shown on the board at the end of a round.
    RoundSummaryPanel* roundSummary() const { return m_summary; }
    // Places the board, the panel, the bar with its figure and the toolbar for the window's
    // size; nothing while the window is minimized.
    void Form_Resize();
    // Keeps the whole window, frame included, on the screen's available area.
    void fitToScreen();
    // The toolbar's click handler: 0 start, 1 end, 2 show solution, 3 options, 4 help,
    // 10 to 16 the languages.
    void PicBut_Click(int index);

    // Board
    void showTaskFrame(bool visible) override;
    void setTaskText(const QString& text) override;
    QString taskText() const override;
    void showTaskText(bool visible) override;
    void showQuestion(bool visible) override;
    void openAnswerBox(bool pictureKind) override;
    void hideAnswerBox() override;
    QString answerText() const override;
    void setAnswerText(const QString& text) override;
    void showSymbol(int row, int slot, int symbol) override;
    void hideSymbol(int row, int slot) override;
    void showJaNein(int index, bool visible) override;
    void setRightHelped(bool helped) override;
    void setButtonEnabled(int button, bool enabled) override;
    void focusButton(int button) override;
    void setNumber(const QString& text) override;
    void setTime(const QString& text) override;
    void setTimeLeft(const QString& text) override;
    void setKeyPreview(bool on) override;
    bool keyPreview() const override { return m_keyPreview; }
    int barLeft() const override;
    int barWidth() const override;
    double meterLeft() const override { return m_meterLeft; }
    void setMeterLeft(double left) override;
    void setMeterPicture(int icon) override;

    // The controls, by their design names.
    QLabel* picTafel = nullptr;
    PlayerBox* cmbName = nullptr;
    QWidget* fraUebung = nullptr;
    QLabel* lblAufgabe = nullptr;
    QLabel* lblFrage = nullptr;
    QLineEdit* txtErgebnis = nullptr;
    std::array<QLabel*, 2> imgJaNein{};
    std::array<QLabel*, 25> imgSymbolX{};
    std::array<QLabel*, 25> imgSymbolY{};
    QLabel* imgStift = nullptr;
    QLabel* imgMeter = nullptr;
    QLabel* lblButBack = nullptr;
    QLabel* lblNumber = nullptr;
    QLabel* lblTime = nullptr;
    std::array<QLabel*, 2> Label{};
    QLabel* lblToolbar = nullptr;
    std::array<QToolButton*, 17> PicBut{}; // 0 to 4 and 10 to 16
    QMenu* mnuHilfe = nullptr;
    QAction* mnuOnlinehilfe = nullptr;
    QAction* mnuHomepage = nullptr;
    QAction* mnuEMail = nullptr;
    QAction* mnuUeber = nullptr;
    QAction* mnuBericht = nullptr;

    // The board's aids: the number pad (shown while a task waits for its answer, when the
    // player asked for it) and the first start's hint (while no player exists).
    NumberPad* numberPad() const { return m_pad; }
    BoardHint* firstStartHint() const { return m_hint; }
    // The speaker button: says the current task again; on the task frame while the player
    // has read-aloud on.
    QToolButton* speakerButton() const { return m_speak; }
    ReadAloud& readAloud() { return m_readAloud; }

    // Picture of a symbol in its first (row 0) or second (row 1) look.
    static QString symbolPicture(int symbol, int row);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Form_Load();
    void Form_Activate();
    // Large fonts: a smaller task frame, larger task texts.
    void positionieren();
    void placeSymbolRows();
    void createBoard();
    void createPanelAndToolbar();
    void createBoardAids();
    void updateNumberPad();
    void updateSpeakerButton();
    // Says the current task again while it waits for its answer.
    void repeatTask();
    void updateFirstStartHint();
    // After the settings window was left without OK: the player the settings file names is
    // loaded and applied when the active player is no longer `before`.
    void settleActivePlayer(const QString& before);
    // Reads from the class server that the settings name, or from this computer's history
    // when they name none.
    void useClassServer();
    void setClockCountsDown(bool on);
    // The question on one line where the task frame has room for it beside the answer box.
    void sizeQuestion();
    // The window frame's widths around the client area; 0 until a window manager frames it.
    QMargins frameMargins() const;
    // Fits the window again once the window manager has framed it.
    void watchFrame();

    HistoryStore m_history;                      // hears the game, so it outlives it
    ClassUpload m_classUpload{m_history.path()}; // sends the history to the class server, if set
    // With a class server in the settings, the report and the tricky tasks read the class
    // from it (this computer's history standing in while it cannot be used).
    std::unique_ptr<ClassServerSource> m_classSource;
    Game m_game;
    ReadAloud m_readAloud;
    QToolButton* m_speak = nullptr;
    frmUebung* m_uebung = nullptr;
    HelpWindow* m_help = nullptr;
    NumberPad* m_pad = nullptr;
    BoardHint* m_hint = nullptr;
    RoundSummaryPanel* m_summary = nullptr;
    bool m_aktiviert = false;
    bool m_keyPreview = false;
    bool m_clockCountsDown = false; // the clock shows the time left
    double m_meterLeft = 0;
    int m_frameChecks = 0;
    int m_questionPoints = 20; // the question's font size, larger with large fonts
};

} // namespace kalmix
