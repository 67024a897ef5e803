#pragma once

#include <QDialog>

class QTextBrowser;
class QToolButton;

namespace kalmix {

// The online help: pages compiled into the program, in German or English (the other
// languages read the English pages). It stays open beside the game.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // The start page for a language base (0 German, others English).
    static QUrl indexPage(int sprachBasis);
    void showIndex(int sprachBasis);

    QTextBrowser* browser = nullptr;

private:
    QToolButton* m_back = nullptr;
    QToolButton* m_forward = nullptr;
    QToolButton* m_home = nullptr;
    int m_sprachBasis = 0;
};

} // namespace kalmix
