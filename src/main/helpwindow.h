#pragma once

#include <QDialog>

class QTextBrowser;
class QToolButton;

namespace kalmix {

// The online help: pages compiled into the program, one folder per language (the German
// pages have German file names, the others the English ones). It stays open beside the game.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // The start page for a language base (0 German, 1000 English, ... 6000 French).
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
