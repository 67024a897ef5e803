#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QPushButton;

namespace kalmix {

class frmKalmix;

// Start-up finished: the splash has brought up the main window.
extern bool Gestartet;

// The About box. At start it is the splash window: it settles the language, writes the
// language file copy, loads and shows the main window and closes itself. Opened later from
// the help menu it shows the program's name and version with an OK button.
class frmInfo : public QDialog {
    Q_OBJECT
public:
    explicit frmInfo(QWidget* parent = nullptr);

    // The splash: runs the start-up and returns the main window it brought up.
    static frmKalmix* startUp();

    void Sprache();
    void ok_Click();

    // "Kalmix    1.00.0000": title, four blanks, major, minor with two digits, revision
    // with four.
    static QString versionLine(int major, int minor, int revision);

    std::array<QLabel*, 4> Label{};
    QPushButton* ok = nullptr;
    QLabel* Image1 = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Form_Load();
};

} // namespace kalmix
