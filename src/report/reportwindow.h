#pragma once

#include "history/reportsource.h"
#include "report/reportdata.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace kalmix {

class FactGridWidget;
class ReportChart;

// The report of the practice history: a player's last weeks, totals, facts and tricky tasks,
// and an overview of the whole class, with print, PDF and CSV export and the merge of another
// computer's history. It reads the history when it opens and after a merge.
class ReportWindow : public QDialog {
    Q_OBJECT
public:
    explicit ReportWindow(ReportSource& source, QWidget* parent = nullptr);

    // Shows the report modally, or says that there is no history to show.
    static void showReport(QWidget* parent);

    void Sprache();
    void lstPlayers_Click();
    void cmbOperation_Click();
    void cmdPrint_Click();
    void cmdPdf_Click();
    void cmdCsv_Click();
    void cmdMerge_Click();

    const PlayerReport& report() const { return m_report; }

    QListWidget* lstPlayers = nullptr;
    QTabWidget* tabs = nullptr;
    QLabel* lblPlayer = nullptr;
    ReportChart* chart = nullptr;
    QTableWidget* tblTotals = nullptr;
    QLabel* lblFacts = nullptr;
    QComboBox* cmbOperation = nullptr;
    FactGridWidget* grid = nullptr;
    QLabel* lblLegend[5] = {};
    QLabel* lblTricky = nullptr;
    QTableWidget* tblTricky = nullptr;
    QLabel* lblNoTricky = nullptr;
    QTableWidget* tblClass = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdPdf = nullptr;
    QPushButton* cmdCsv = nullptr;
    QPushButton* cmdMerge = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* lblOrigin = nullptr; // where the figures come from, when not from this computer
    QLabel* lblUpload = nullptr; // what waits for the class server, while one is set

private:
    void createPlayerPage(QWidget* page);
    void fillPlayers();
    void fillPlayer();
    void fillFacts();
    void fillTricky();
    void fillClass();
    bool onClassTab() const;
    // Says where the figures come from; when that changed while the window was open (the
    // class server was lost), everything is read again from where they come now.
    void showOrigin();
    void sayFileError(const QString& path, const QString& why);
    // Whether an export may write to the path; says why not.
    bool mayWrite(const QString& path);

    ReportSource& m_source;
    QList<ReportPlayer> m_players;
    PlayerReport m_report;
    QList<ReportClassRow> m_class;
    QString m_origin;
    bool m_rereading = false;
};

} // namespace kalmix
