#pragma once

#include <QDialog>
#include <array>
#include <functional>

class QLabel;
class QPushButton;

namespace kalmix {

// Start-up finished: the splash has brought up the main window.
extern bool Gestartet;

// The About box. At start it is the splash window: it settles the language, writes the
// language file copy, loads and shows the main window and closes itself. Opened later from
// the help menu it shows the program's name and version with an OK button.
class frmInfo : public QDialog {
    Q_OBJECT
public:
    explicit frmInfo(QWidget* parent = nullptr);

    // The splash: runs the start-up and brings up the main window that makeMain makes.
    static void startUp(const std::function<QWidget*()>& makeMain);

    void Sprache();
    void ok_Click();
    // The text under the name points to the read-me of the current language: a click on it
    // opens that file, or says that it cannot be found or opened.
    void openReadme();

    // "Kalmix    1.00.0000": title, four blanks, major, minor with two digits, revision
    // with four.
    static QString versionLine(int major, int minor, int revision);

    std::array<QLabel*, 4> Label{};
    QPushButton* ok = nullptr;
    QLabel* Image1 = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    // Sets the read-me line's font so that its text fits its place in this language.
    void fitReadmeLine();
};

} // namespace kalmix
