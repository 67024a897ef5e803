#include "report/reportwindow.h"

#include "classserver/classupload.h"
#include "history/ownfiles.h"
#include "report/classoverview.h"
#include "report/factgrid.h"
#include "report/mergeprogress.h"
#include "report/reportchart.h"
#include "report/reportdialogs.h"
#include "report/reportprint.h"
#include "services/clock.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/procedure.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace kalmix {

namespace {

QLabel* heading(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 1.15);
    f.setBold(true);
    l->setFont(f);
    l->setStyleSheet(QStringLiteral("color: #1d4f91;"));
    return l;
}

QTableWidget* table(QWidget* parent, const char* name) {
    auto* t = new QTableWidget(parent);
    t->setObjectName(QLatin1String(name));
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionMode(QAbstractItemView::NoSelection);
    t->setFocusPolicy(Qt::NoFocus);
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 8);
    t->setWordWrap(false);
    return t;
}

QTableWidgetItem* cell(const QString& text, bool right = true) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setTextAlignment(right ? Qt::AlignRight | Qt::AlignVCenter
                                 : Qt::AlignLeft | Qt::AlignVCenter);
    return item;
}

// A table exactly as high as its rows, so that the page scrolls as a whole.
void fitHeight(QTableWidget* t) {
    const QHeaderView* header = t->horizontalHeader();
    int h =
        !header->isHidden() ? std::max(header->sizeHint().height(), header->minimumHeight()) : 0;
    for (int r = 0; r < t->rowCount(); ++r)
        h += t->rowHeight(r);
    t->setFixedHeight(h + 2 * t->frameWidth());
}

QString withoutKey(const QString& text) {
    return QString(text).remove(u'&');
}

} // namespace

ReportWindow::ReportWindow(ReportSource& source, QWidget* parent)
    : QDialog(parent), m_source(source) {
    setObjectName(QStringLiteral("ReportWindow"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    lstPlayers = new QListWidget(this);
    lstPlayers->setObjectName(QStringLiteral("lstPlayers"));
    QFont big = lstPlayers->font();
    big.setPointSizeF(big.pointSizeF() * 1.15);
    lstPlayers->setFont(big);
    lstPlayers->setMinimumWidth(150);
    lstPlayers->setMaximumWidth(190);

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    auto* scroll = new QScrollArea(tabs);
    scroll->setObjectName(QStringLiteral("playerPage"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* page = new QWidget(scroll);
    createPlayerPage(page);
    scroll->setWidget(page);
    tabs->addTab(scroll, QString());
    tblClass = table(tabs, "tblClass");
    tblClass->setSelectionMode(QAbstractItemView::SingleSelection);
    tblClass->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblClass->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tblClass->horizontalHeader()->setSortIndicatorShown(true);
    tabs->addTab(tblClass, QString());

    cmdPrint = new QPushButton(this);
    cmdPdf = new QPushButton(this);
    cmdCsv = new QPushButton(this);
    cmdMerge = new QPushButton(this);
    cmdClose = new QPushButton(this);
    cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    cmdPdf->setObjectName(QStringLiteral("cmdPdf"));
    cmdCsv->setObjectName(QStringLiteral("cmdCsv"));
    cmdMerge->setObjectName(QStringLiteral("cmdMerge"));
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    for (QPushButton* b : {cmdPrint, cmdPdf, cmdCsv, cmdMerge, cmdClose})
        b->setAutoDefault(false);
    cmdClose->setDefault(true);
    connect(cmdPrint, &QPushButton::clicked, this, [this] { cmdPrint_Click(); });
    connect(cmdPdf, &QPushButton::clicked, this, [this] { cmdPdf_Click(); });
    connect(cmdCsv, &QPushButton::clicked, this, [this] { cmdCsv_Click(); });
    connect(cmdMerge, &QPushButton::clicked, this, [this] { cmdMerge_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(lstPlayers);
    top->addWidget(tabs, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdPrint);
    buttons->addWidget(cmdPdf);
    buttons->addWidget(cmdCsv);
    buttons->addStretch(1);
    buttons->addWidget(cmdMerge);
    buttons->addWidget(cmdClose);
    lblOrigin = new QLabel(this);
    lblOrigin->setObjectName(QStringLiteral("lblOrigin"));
    lblOrigin->setTextFormat(Qt::PlainText);
    lblOrigin->setWordWrap(true);
    lblOrigin->setStyleSheet(QStringLiteral("color: #1d4f91;"));
    lblOrigin->hide();
    lblUpload = new QLabel(this);
    lblUpload->setObjectName(QStringLiteral("lblUpload"));
    lblUpload->setTextFormat(Qt::PlainText);
    lblUpload->setWordWrap(true);
    const auto showUpload = [this] {
        lblUpload->setText(ClassUpload::statusLine());
        lblUpload->setVisible(!lblUpload->text().isEmpty());
    };
    if (ClassUploader* uploader = ClassUpload::running())
        connect(uploader, &ClassUploader::statusChanged, lblUpload, showUpload);
    showUpload();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblOrigin);
    layout->addLayout(top, 1);
    layout->addWidget(lblUpload);
    layout->addLayout(buttons);

    connect(lstPlayers, &QListWidget::currentRowChanged, this, [this] { lstPlayers_Click(); });
    connect(cmbOperation, &QComboBox::activated, this, [this] { cmbOperation_Click(); });

    m_source.beginReading();
    Sprache();
    fillPlayers();
    fillClass();
    showOrigin();
    QSize size(1180, 760);
    if (const QScreen* s = parent ? parent->screen() : screen()) // never larger than the screen
        size = size.boundedTo(s->availableGeometry().size() * 0.95);
    resize(size);
}

void ReportWindow::createPlayerPage(QWidget* page) {
    lblPlayer = heading(page, "lblPlayer");
    chart = new ReportChart(page);
    tblTotals = table(page, "tblTotals");
    tblTotals->setRowCount(5);
    tblTotals->setColumnCount(3);
    // The column titles wrap, so that the columns are only as wide as their numbers.
    tblTotals->horizontalHeader()->setDefaultAlignment(
        Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    tblTotals->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblTotals->horizontalHeader()->setMinimumHeight(tblTotals->fontMetrics().lineSpacing() * 2 + 8);
    tblTotals->verticalHeader()->setVisible(true);
    tblTotals->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tblTotals->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tblTotals->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);

    lblFacts = heading(page, "lblFacts");
    cmbOperation = new QComboBox(page);
    cmbOperation->setObjectName(QStringLiteral("cmbOperation"));
    grid = new FactGridWidget(page);
    auto* legend = new QGridLayout;
    const ReportFact::State states[4] = {ReportFact::State::NotYet, ReportFact::State::OftenWrong,
                                         ReportFact::State::Learning, ReportFact::State::Mastered};
    for (int i = 0; i < 5; ++i) {
        auto* swatch = new QLabel(page);
        swatch->setFixedSize(16, 16);
        swatch->setAlignment(Qt::AlignCenter);
        if (i < 4)
            swatch->setStyleSheet(QStringLiteral("background: %1; border: 1px solid #999;")
                                      .arg(factColor(states[i]).name()));
        else
            swatch->setText(QStringLiteral("\u2022"));
        lblLegend[i] = new QLabel(page);
        lblLegend[i]->setObjectName(QStringLiteral("lblLegend%1").arg(i));
        lblLegend[i]->setWordWrap(true);
        legend->addWidget(swatch, i, 0, Qt::AlignTop);
        legend->addWidget(lblLegend[i], i, 1);
    }
    legend->setColumnStretch(1, 1);

    lblTricky = heading(page, "lblTricky");
    tblTricky = table(page, "tblTricky");
    tblTricky->setColumnCount(4);
    // Long column titles wrap, so that the list fits beside the facts.
    QHeaderView* trickyHeader = tblTricky->horizontalHeader();
    trickyHeader->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    trickyHeader->setSectionResizeMode(QHeaderView::Fixed);
    trickyHeader->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < 4; ++c)
        tblTricky->setColumnWidth(c, 96);
    trickyHeader->setMinimumHeight(tblTricky->fontMetrics().lineSpacing() * 3 + 8);
    tblTricky->setMinimumWidth(120 + 3 * 96);
    tblTricky->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tblTricky->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lblNoTricky = new QLabel(page);
    lblNoTricky->setObjectName(QStringLiteral("lblNoTricky"));

    auto* opRow = new QHBoxLayout;
    opRow->addWidget(lblFacts);
    opRow->addWidget(cmbOperation);
    opRow->addStretch(1);
    auto* factsColumn = new QVBoxLayout;
    factsColumn->addLayout(opRow);
    factsColumn->addWidget(grid, 0, Qt::AlignLeft);
    factsColumn->addLayout(legend);
    factsColumn->addStretch(1);
    auto* trickyColumn = new QVBoxLayout;
    trickyColumn->addWidget(lblTricky);
    trickyColumn->addWidget(tblTricky);
    trickyColumn->addWidget(lblNoTricky);
    trickyColumn->addStretch(1);

    // The chart above the facts on the left, the totals above the tricky tasks on the right.
    auto* left = new QVBoxLayout;
    left->addWidget(chart);
    left->addSpacing(8);
    left->addLayout(factsColumn, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(tblTotals, 0, Qt::AlignLeft);
    right->addSpacing(16);
    right->addLayout(trickyColumn, 1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addSpacing(16);
    columns->addLayout(right, 1);
    auto* l = new QVBoxLayout(page);
    l->addWidget(lblPlayer);
    l->addLayout(columns, 1);
}

void ReportWindow::showReport(QWidget* parent) {
    Procedure("ReportWindow", "showReport").run({[&] {
        ReportSource* source = reportSource();
        if (!source) {
            MsgBox(langText(337), MsgButtons::Ok, MsgIcon::Information, parent);
            return;
        }
        ReportWindow window(*source, parent);
        window.exec();
    }});
}

void ReportWindow::Sprache() {
    Procedure("ReportWindow", "Sprache")
        .run({
            [&] { setWindowTitle(langText(300)); },
            [&] {
                tabs->setTabText(0, langText(303));
                tabs->setTabText(1, langText(304));
                cmdPrint->setText(langText(305));
                cmdPdf->setText(langText(306));
                cmdCsv->setText(langText(307));
                cmdMerge->setText(langText(308));
                cmdClose->setText(langText(205));
            },
            [&] {
                tblTotals->setHorizontalHeaderLabels(totalsColumnTitles());
                tblTotals->setVerticalHeaderLabels(totalsRowTitles());
                tblTricky->setHorizontalHeaderLabels(
                    {langText(327), langText(328), langText(329), langText(330)});
                lblFacts->setText(langText(320));
                lblTricky->setText(langText(326));
                lblNoTricky->setText(langText(331));
                for (int i = 0; i < 5; ++i)
                    lblLegend[i]->setText(langText(321 + i));
                for (int i = 0; i < cmbOperation->count(); ++i)
                    cmbOperation->setItemText(i,
                                              operationName(cmbOperation->itemData(i).toString()));
            },
            [&] {
                // Names, numbers and dates follow the language too.
                for (int i = 0; i < lstPlayers->count() && i < m_players.size(); ++i)
                    lstPlayers->item(i)->setText(playerLabel(m_players[i]));
                if (lstPlayers->currentRow() >= 0)
                    fillPlayer();
                fillClassTable(*tblClass, m_class);
            },
            [&] {
                if (!m_origin.isEmpty()) {
                    m_origin = m_source.origin();
                    lblOrigin->setText(m_origin);
                }
            },
        });
}

void ReportWindow::showOrigin() {
    const QString origin = m_source.origin();
    const bool changed = !m_origin.isEmpty() && origin != m_origin;
    m_origin = origin;
    lblOrigin->setText(origin);
    lblOrigin->setVisible(!origin.isEmpty());
    if (changed && !m_rereading) {
        m_rereading = true;
        fillPlayers();
        fillClass();
        m_rereading = false;
    }
}

void ReportWindow::fillPlayers() {
    m_players = m_source.players();
    // The deleted players come last, whatever order the history gives.
    std::stable_partition(m_players.begin(), m_players.end(),
                          [](const ReportPlayer& p) { return !p.deleted; });
    const QString chosen = m_report.player.name;
    const bool chosenDeleted = m_report.player.deleted;
    lstPlayers->blockSignals(true);
    lstPlayers->clear();
    int row = m_players.isEmpty() ? -1 : 0;
    for (int i = 0; i < m_players.size(); ++i) {
        auto* item = new QListWidgetItem(playerLabel(m_players[i]), lstPlayers);
        if (m_players[i].deleted) {
            QFont f = item->font();
            f.setItalic(true);
            item->setFont(f);
            item->setForeground(QColor(0x80, 0x80, 0x80));
        }
        if (m_players[i].name == chosen && m_players[i].deleted == chosenDeleted)
            row = i;
    }
    lstPlayers->blockSignals(false);
    lstPlayers->setCurrentRow(row);
    if (row < 0)
        fillPlayer();
}

void ReportWindow::lstPlayers_Click() {
    Procedure("ReportWindow", "lstPlayers_Click")
        .run({
            [&] {
                const int row = lstPlayers->currentRow();
                m_report = row >= 0 && row < m_players.size()
                               ? loadPlayerReport(m_source, m_players[row], clock().now())
                               : PlayerReport{};
            },
            // A deleted player has no settings left: the default exercise is shown.
            [&] {
                if (!m_report.player.name.isEmpty())
                    m_report.exercise = readPlayerExercise(m_report.player.name);
            },
            [&] {
                const QStringList ops = factOperations(m_report.exercise.kind);
                cmbOperation->clear();
                for (const QString& op : ops)
                    cmbOperation->addItem(operationName(op), op);
                if (!m_report.player.name.isEmpty())
                    loadFacts(m_source, m_report, ops.first());
            },
            [&] { fillPlayer(); },
            [&] {
                if (!m_rereading)
                    showOrigin();
            },
        });
}

void ReportWindow::cmbOperation_Click() {
    Procedure("ReportWindow", "cmbOperation_Click")
        .run({
            [&] {
                if (!m_report.player.name.isEmpty())
                    loadFacts(m_source, m_report, cmbOperation->currentData().toString());
            },
            [&] { fillFacts(); },
        });
}

void ReportWindow::fillPlayer() {
    const bool any = !m_report.player.name.isEmpty();
    lblPlayer->setText(any ? playerLabel(m_report.player) : langText(342));
    chart->setDays(m_report.days);
    for (int span = 0; span < 3; ++span) {
        const QStringList texts = totalsTexts(m_report.totals[span]);
        for (int r = 0; r < 5; ++r)
            tblTotals->setItem(r, span, cell(any ? texts[r] : QString()));
    }
    const QFontMetrics fm = tblTotals->fontMetrics();
    const QStringList titles = totalsColumnTitles();
    for (int c = 0; c < 3; ++c) {
        int most = 64;
        for (const QString& word : titles[c].split(u' '))
            most = std::max(most, fm.horizontalAdvance(word));
        for (int r = 0; r < 5; ++r)
            most = std::max(most, fm.horizontalAdvance(tblTotals->item(r, c)->text()));
        tblTotals->setColumnWidth(c, most + 16);
    }
    fitHeight(tblTotals);
    int width = tblTotals->verticalHeader()->sizeHint().width() + 2 * tblTotals->frameWidth();
    for (int c = 0; c < 3; ++c)
        width += tblTotals->columnWidth(c);
    tblTotals->setFixedWidth(width);
    fillFacts();
    fillTricky();
}

void ReportWindow::fillFacts() {
    grid->setFacts(m_report.layout, m_report.facts);
    grid->setFixedSize(grid->sizeHint());
}

void ReportWindow::fillTricky() {
    const QList<ReportTrickyTask>& tasks = m_report.tricky;
    tblTricky->setRowCount(static_cast<int>(tasks.size()));
    const QLocale l = reportLocale();
    for (int r = 0; r < tasks.size(); ++r) {
        const ReportTrickyTask& t = tasks[r];
        const QString task = t.operation == QLatin1String("count") ? langText(348).arg(t.expected)
                                                                   : trickyTaskText(t);
        tblTricky->setItem(r, 0, cell(task, false));
        tblTricky->setItem(r, 1, cell(l.toString(t.tasks)));
        tblTricky->setItem(r, 2, cell(l.toString(t.notFirstTry)));
        tblTricky->setItem(r, 3, cell(secondsText(t.medianSeconds)));
    }
    tblTricky->setVisible(!tasks.isEmpty());
    lblNoTricky->setVisible(tasks.isEmpty() && !m_report.player.name.isEmpty());
    fitHeight(tblTricky);
}

void ReportWindow::fillClass() {
    Procedure("ReportWindow", "fillClass")
        .run({
            [&] { m_class = m_source.classOverview(clock().now()); },
            [&] { fillClassTable(*tblClass, m_class); },
        });
}

bool ReportWindow::onClassTab() const {
    return tabs->currentIndex() == 1;
}

void ReportWindow::sayFileError(const QString& path, const QString& why) {
    MsgBox(langText(340).arg(QDir::toNativeSeparators(path), why), MsgButtons::Ok,
           MsgIcon::Exclamation, this);
}

bool ReportWindow::mayWrite(const QString& path) {
    switch (checkExportTarget(path)) {
    case ExportTarget::Free:
        return true;
    case ExportTarget::OwnFile:
        MsgBox(langText(370).arg(QDir::toNativeSeparators(path)), MsgButtons::Ok,
               MsgIcon::Exclamation, this);
        return false;
    case ExportTarget::NotAFile:
        break;
    }
    MsgBox(langText(371).arg(QDir::toNativeSeparators(path)), MsgButtons::Ok, MsgIcon::Exclamation,
           this);
    return false;
}

void ReportWindow::cmdPrint_Click() {
    Procedure("ReportWindow", "cmdPrint_Click").run({[&] {
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(withoutKey(langText(300)));
        if (!askPrinter(printer, this))
            return;
        // The dialog prints to no file, but a printer may still be set up to write one.
        if (!printer.outputFileName().isEmpty() && !mayWrite(printer.outputFileName()))
            return;
        if (printer.outputFileName().isEmpty() && printer.printerName().isEmpty()) {
            // No printer at all: the PDF is the way to paper.
            MsgBox(langText(372).arg(withoutKey(langText(306))), MsgButtons::Ok,
                   MsgIcon::Information, this);
            return;
        }
        const bool done = onClassTab() ? printClassOverview(printer, m_class, clock().now())
                                       : printPlayer(printer, m_report);
        if (!done)
            MsgBox(langText(341).arg(printer.printerName()), MsgButtons::Ok, MsgIcon::Exclamation,
                   this);
    }});
}

void ReportWindow::cmdPdf_Click() {
    Procedure("ReportWindow", "cmdPdf_Click").run({[&] {
        const QString name = onClassTab() || m_report.player.name.isEmpty()
                                 ? withoutKey(langText(304))
                                 : m_report.player.name;
        const QString path =
            askFileName({true, withoutKey(langText(306)), name + QStringLiteral(".pdf"),
                         langText(344), QStringLiteral("pdf")},
                        this);
        if (path.isEmpty() || !mayWrite(path))
            return;
        QString why;
        if (!savePdf(path, onClassTab() ? nullptr : &m_report, m_class, clock().now(), &why))
            sayFileError(path, why);
    }});
}

void ReportWindow::cmdCsv_Click() {
    Procedure("ReportWindow", "cmdCsv_Click").run({[&] {
        // The class tab exports every player, the player tab the chosen one.
        const QString player = onClassTab() ? QString() : m_report.player.name;
        const QString name = player.isEmpty() ? withoutKey(langText(304)) : player;
        const QString path =
            askFileName({true, withoutKey(langText(307)), name + QStringLiteral(".csv"),
                         langText(343), QStringLiteral("csv")},
                        this);
        if (path.isEmpty() || !mayWrite(path))
            return;
        QString why;
        if (!m_source.exportCsv(path, player, &why))
            sayFileError(path, why);
    }});
}

void ReportWindow::cmdMerge_Click() {
    Procedure("ReportWindow", "cmdMerge_Click")
        .run({
            [&] {
                const QString path =
                    askFileName({false, withoutKey(langText(308)), QString(), langText(345)}, this);
                if (path.isEmpty())
                    exitProcedure();
                MergeProgress progress(path, this);
                const MergeResult result = m_source.merge(path, progress);
                if (result.cancelled)
                    exitProcedure(); // nothing was added
                if (!result.ok) {
                    MsgBox(langText(339).arg(result.error), MsgButtons::Ok, MsgIcon::Exclamation,
                           this);
                    exitProcedure();
                }
                QString said = langText(338).arg(langCount(401, result.rounds),
                                                 langCount(402, result.answers));
                if (result.skipped > 0)
                    said += u' ' + langCount(385, result.skipped);
                MsgBox(said, MsgButtons::Ok, MsgIcon::Information, this);
            },
            [&] { fillPlayers(); },
            [&] { fillClass(); },
            [&] { showOrigin(); },
        });
}

} // namespace kalmix
