#pragma once

#include "profiles/record.h"
#include "profiles/settingsfile.h"

#include <QDialog>
#include <array>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace kalmix {

class ClassServerGroup;

// The settings window: a wizard of seven pages where a player is chosen or created and the
// exercise settings are made. It stays loaded but hidden while Kalmix runs; its controls are
// the working store of the active player's settings. OK and Cancel unload it; the next use
// loads a new one, which reads the player list and the active player's profile again.
class frmUebung : public QDialog {
    Q_OBJECT
public:
    // Loads the window hidden: player list and the active player's profile (which, the window
    // being hidden, ends with the apply step).
    explicit frmUebung(QWidget* parent = nullptr);
    ~frmUebung() override;

    // Shows the window modally; returns when it was unloaded or hidden again. `unlocked`: the
    // grown-up's password was given to open it, so nothing inside asks for it again.
    void showModal(bool unlocked = false);
    // OK or Cancel (or the close box) unloaded the window: its owner deletes it.
    bool unloaded() const { return m_unloaded; }
    // The last showing ended with OK, which applied the window's settings.
    bool closedWithOk() const { return m_closedWithOk; }

    void Sprache();
    void BenutzerLaden();
    void BenutzerSpeichern();
    void cmdWeiter_Click();
    void cmdZurueck_Click();
    void cmdOptOK_Click();
    void cmdCancel_Click();
    void cmdDelEntry_Click();
    void cmdViewLog_Click();
    void cmdDelLogfile_Click();
    void cmdPasswort_Click();
    void txtName_LostFocus();
    void lstName_Click();

    // Whether a name is one of the sections the settings file keeps for Kalmix itself.
    static bool reservedName(const QString& name);
    // The longest name a new player can have.
    static constexpr int kMaxNameLength = kMaxPlayerNameLength;

    int Seite = 0; // the page shown

    // The controls, by their design names.
    std::array<QWidget*, 7> fraDialog{};
    std::array<QLabel*, 7> lblHeading{};
    QLineEdit* txtName = nullptr;
    QListWidget* lstName = nullptr;
    QPushButton* cmdDelEntry = nullptr;
    std::array<QRadioButton*, 9> optUebung{};
    std::array<QCheckBox*, 25> chkSymbol{};
    std::array<QLabel*, 25> imgSymbolY{};
    std::array<QRadioButton*, 9> optAddition{};
    QCheckBox* chkNull = nullptr;
    std::array<QCheckBox*, 20> chkFaktor{};
    std::array<QRadioButton*, 3> optSignMul{};
    std::array<QRadioButton*, 3> optSignDiv{};
    QLabel* lblSignMul = nullptr;
    QLabel* lblSignDiv = nullptr;
    QCheckBox* chkSound = nullptr;
    QCheckBox* chkProgAnim = nullptr;
    std::array<QRadioButton*, 2> optAufgZeit{};
    QLineEdit* txtAufgaben = nullptr;
    QScrollBar* vscAufgaben = nullptr;
    QLineEdit* txtZeit = nullptr;
    QScrollBar* vscZeit = nullptr;
    QCheckBox* chkTipp = nullptr;
    QCheckBox* chkLogfile = nullptr;
    QCheckBox* chkZiffernblock = nullptr; // the number pad on the board
    // Tricky tasks more often: one box on the range page and one on the factor page, which
    // always show the same.
    std::array<QCheckBox*, 2> chkKnifflig{};
    QCheckBox* chkVorlesen = nullptr; // tasks read aloud
    QLabel* lblKeineStimme = nullptr; // beside it: the system has no voice for the language
    QPushButton* cmdViewLog = nullptr;
    QPushButton* cmdDelLogfile = nullptr;
    QPushButton* cmdPasswort = nullptr;
    QLabel* lblPasswort = nullptr;                // says whether the options are locked
    ClassServerGroup* grpKlassenserver = nullptr; // the class server and the class
    QPushButton* cmdZurueck = nullptr;
    QPushButton* cmdWeiter = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdOptOK = nullptr;

    // The pages Next visits for an exercise kind.
    static QList<int> route(int uebung);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Escape presses Cancel
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createPages();
    void connectHandlers();
    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    void unload();
    void savePlayerList();
    QListWidgetItem* selectedEntry() const;
    void lstName_SelectionChanged();
    // A new name that is too long or one of Kalmix's own sections: a message, and true.
    bool refuseName();
    // A name that is not listed and shorter than two characters: no new player's name.
    bool tooShortForANewPlayer(const QString& name) const;
    bool checkNumberBox(QLineEdit* box);
    void txtName_Change();
    void showPage(int page);
    void hidePage(int page);
    void focusPage(int page);
    void leavePage();
    void stayWithoutName();
    void backToFirstPage();
    bool symbolsTicked();
    bool factorsTicked();
    bool shown() const;
    int selectedKind() const;
    void fitPages();
    void loadSymbolPictures();
    // Whether the options may be changed here: opened with the password, no lock, or the
    // password given now.
    bool optionsFree();
    void showLockState();
    // Asks (once per language) whether a voice reads the interface language, when the box
    // is ticked on the page shown; the note beside it tells when none does.
    void checkVoice();
    void showVoiceNote();

    std::optional<SettingsWriteReport> m_writeReport; // while the window is shown
    bool m_unloaded = false;
    bool m_closedWithOk = false;
    bool m_unlocked = false; // opened with the grown-up's password
    bool m_inCompletion = false;
    bool m_holdLostFocus = false;
    bool m_symbolPictures = false;
    bool m_quietList = false;   // the program marks a list entry: no player is chosen
    bool m_checkingBox = false; // a number box is being checked
    // Per language, a bit each: whether a voice was asked for, and whether one was found.
    unsigned m_voiceKnown = 0;
    unsigned m_voiceFound = 0;
};

} // namespace kalmix
