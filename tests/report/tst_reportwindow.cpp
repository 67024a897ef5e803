#include "fakereportsource.h"
#include "profiles/passwordhash.h"
#include "profiles/settingsfile.h"
#include "report/factgrid.h"
#include "report/mergeprogress.h"
#include "report/reportchart.h"
#include "report/reportdialogs.h"
#include "report/reportprint.h"
#include "report/reportwindow.h"
#include "services/lang.h"
#include "settings/frmuebung.h"
#include "support/testenv.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace kalmix;
using kalmix::test::FakeReportSource;
using kalmix::test::TestEnv;

Q_DECLARE_METATYPE(ReportFact::State)

namespace {

ReportPlayer present(const char* name) {
    return {QString::fromUtf8(name), false};
}

// A source with two present players and a deleted one that it lists first.
void fill(FakeReportSource& source, const TestEnv& env) {
    source.now = env.clock.now();
    source.playerList = {{QStringLiteral("Zoe"), true}, present("Anna"), present("Ben")};
    source.rows = {
        {QStringLiteral("Anna"), false, QDateTime(QDate(2026, 3, 13), QTime(10, 0)), 3, 120, 0.8,
         1},
        {QStringLiteral("Ben"), false, QDateTime(), 0, 9, 0.5, 0},
        {QStringLiteral("Zoe"), true, QDateTime(QDate(2026, 1, 2), QTime(8, 0)), 0, 1500, 0.6, -1}};
}

void clickRow(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

// Acts on the modal dialogs that come up while it lives, each once it is up. The action runs
// apart from the timer's own call, so that the timer goes on while a question the action
// opened waits for its answer.
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QWidget*)> act) {
        QObject::connect(&m_timer, &QTimer::timeout, [this, act] {
            QWidget* modal = QApplication::activePopupWidget();
            if (!modal)
                modal = QApplication::activeModalWidget();
            if (!modal || m_acting.contains(modal))
                return;
            m_acting.append(modal);
            QTimer::singleShot(0, &m_timer, [this, act, guard = QPointer<QWidget>(modal)] {
                if (guard)
                    act(guard);
                m_acting.removeAll(guard.data());
            });
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
    QList<QWidget*> m_acting;
};

QStringList column(const QTableWidget* t, int c) {
    QStringList texts;
    for (int r = 0; r < t->rowCount(); ++r)
        texts.append(t->item(r, c)->text());
    return texts;
}

} // namespace

class TestReportWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        TestEnv env;
        WriteLanguageCopy();
    }
    void init() { SprachBasis = 1000; }
    void cleanup() {
        setReportSource(nullptr);
        setFileDialogHook(nullptr);
        setPrintDialogHook(nullptr);
    }

    // The chosen player's page shows the history of that player, in the spans the window
    // promises, and the fact grid in the player's own factor range.
    void choosingPlayerFillsPage() {
        TestEnv env;
        SaveIni(QStringLiteral("Ben"), QStringLiteral("Uebung"), QStringLiteral(" 4"));
        SaveIni(QStringLiteral("Ben"), QStringLiteral("Faktoren"),
                QStringLiteral("00000100000100000000")); // 7 and 13
        FakeReportSource source;
        fill(source, env);
        source.trickyCount = 12;
        ReportWindow w(source);
        w.show();
        clickRow(w.lstPlayers, 1);
        QCOMPARE(w.lblPlayer->text(), QStringLiteral("Ben"));
        QCOMPARE(w.chart->days().size(), 28);
        QCOMPARE(w.chart->days().last().day, env.clock.now().date());
        QCOMPARE(w.chart->days().last().solved, 14 % 5 * 3);
        // Columns: last 7 days, last 30 days, all time; rows: rounds, tasks, ...
        QCOMPARE(w.tblTotals->item(0, 0)->text(), QStringLiteral("1"));
        QCOMPARE(w.tblTotals->item(0, 1)->text(), QStringLiteral("2"));
        QCOMPARE(w.tblTotals->item(1, 2)->text(), QStringLiteral("30"));
        QCOMPARE(w.tblTotals->item(2, 2)->text(), QStringLiteral("15 (50\u00a0%)"));
        QCOMPARE(w.tblTricky->rowCount(), 10);
        QCOMPARE(w.tblTricky->item(1, 0)->text(), QStringLiteral("3 \u00b7 7 = 21"));
        QCOMPARE(source.factCalls.last(), QStringLiteral("Ben * 20 20"));
        QCOMPARE(w.grid->layout().rows, (QList<int>{7, 13}));
        QCOMPARE(w.grid->layout().columns.size(), 19); // 2 to 20: a factor over 10
        QCOMPARE(w.cmbOperation->itemData(0).toString(), QStringLiteral("*"));

        QTest::keyClick(w.cmbOperation, Qt::Key_Down);
        QCOMPARE(source.factCalls.last(), QStringLiteral("Ben / 400 20"));
    }

    void deletedPlayersAtEnd() {
        TestEnv env;
        FakeReportSource source;
        fill(source, env);
        ReportWindow w(source);
        QCOMPARE(w.lstPlayers->count(), 3);
        QCOMPARE(w.lstPlayers->item(0)->text(), QStringLiteral("Anna"));
        QCOMPARE(w.lstPlayers->item(2)->text(), langText(309).arg(QStringLiteral("Zoe")));
    }

    // The window says where its figures come from, and nothing for this computer's own
    // history. When the source has to change its way while the window is open (a class
    // server that is lost), the window reads the players and the class again from where
    // the figures come now, so it never shows one source's list with another's figures.
    void saysWhereFiguresComeFrom() {
        TestEnv env;
        FakeReportSource source;
        fill(source, env);
        {
            ReportWindow w(source);
            QVERIFY(w.lblOrigin->isHidden());
        }
        source.originText = u"Class 2a on the class server"_qs;
        ReportWindow w(source);
        w.show();
        QCOMPARE(source.readings, 2);
        QCOMPARE(w.lblOrigin->text(), source.originText);
        QVERIFY(w.lblOrigin->isVisible());
        QCOMPARE(w.lstPlayers->count(), 3);
        source.originText = u"The class server cannot be reached"_qs;
        source.playerList = {present("Cem")};
        source.rows = {{u"Cem"_qs, false, QDateTime(), 0, 4, 0.5, 0}};
        clickRow(w.lstPlayers, 1);
        QCOMPARE(w.lblOrigin->text(), source.originText);
        QCOMPARE(w.lstPlayers->count(), 1);
        QCOMPARE(w.lstPlayers->item(0)->text(), u"Cem"_qs);
        QCOMPARE(column(w.tblClass, 0), QStringList{u"Cem"_qs});
    }

    // Numbers and dates sort by their values, not by their texts.
    void classOverviewSorts() {
        TestEnv env;
        FakeReportSource source;
        fill(source, env);
        ReportWindow w(source);
        w.show();
        w.tabs->setCurrentIndex(1);
        QHeaderView* header = w.tblClass->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(3) + 5, header->height() / 2));
        const QStringList up = column(w.tblClass, 3);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(3) + 5, header->height() / 2));
        const QStringList down = column(w.tblClass, 3);
        QCOMPARE(up.size(), 3);
        QVERIFY2(up == (QStringList{u"9"_qs, u"120"_qs, u"1,500"_qs}) ||
                     down == (QStringList{u"9"_qs, u"120"_qs, u"1,500"_qs}),
                 qPrintable(up.join(u' ') + u" / " + down.join(u' ')));
        QCOMPARE(up.first() == u"9"_qs ? down.first() : up.first(), u"1,500"_qs);
        w.tblClass->sortByColumn(1, Qt::AscendingOrder); // no round yet sorts as the oldest
        QCOMPARE(column(w.tblClass, 0),
                 (QStringList{u"Ben"_qs, langText(309).arg(u"Zoe"_qs), u"Anna"_qs}));
    }

    // The export and merge buttons hand the chosen file to the history and say its answer;
    // a cancelled dialog does nothing.
    void csvAndMergeButtons() {
        TestEnv env;
        FakeReportSource source;
        fill(source, env);
        QList<FileDialogCall> asked;
        QString answer = env.path(QStringLiteral("anna"));
        setFileDialogHook([&](const FileDialogCall& call) {
            asked.append(call);
            return answer;
        });
        ReportWindow w(source);
        w.show();
        QTest::mouseClick(w.cmdCsv, Qt::LeftButton);
        QCOMPARE(source.csvCalls, QStringList{env.path(u"anna.csv"_qs) + u"|Anna"_qs});
        QVERIFY(asked.last().save);
        QVERIFY(env.messages.isEmpty());

        w.tabs->setCurrentIndex(1); // the class: every player
        source.csvOk = false;
        answer = env.path(QStringLiteral("all.csv"));
        QTest::mouseClick(w.cmdCsv, Qt::LeftButton);
        QCOMPARE(source.csvCalls.last(), answer + u'|');
        QCOMPARE(env.messages.size(), 1);
        QVERIFY(env.messages[0].text.contains(u"disk full"_qs));

        answer = env.path(QStringLiteral("other.db"));
        source.mergeResult = {false, QStringLiteral("not a history file"), 0, 0};
        QTest::mouseClick(w.cmdMerge, Qt::LeftButton);
        QCOMPARE(source.mergeCalls, QStringList{answer});
        QVERIFY(!asked.last().save);
        QCOMPARE(env.messages.last().text, langText(339).arg(u"not a history file"_qs));

        source.mergeResult = {true, QString(), 4, 57};
        source.afterMerge = source.playerList + QList<ReportPlayer>{present("Cleo")};
        QTest::mouseClick(w.cmdMerge, Qt::LeftButton);
        QCOMPARE(env.messages.last().text,
                 langText(338).arg(langCount(401, 4), langCount(402, 57)));
        QCOMPARE(w.lstPlayers->count(), 4); // the merged player is listed at once

        answer.clear();
        QTest::mouseClick(w.cmdMerge, Qt::LeftButton);
        QTest::mouseClick(w.cmdCsv, Qt::LeftButton);
        QCOMPARE(source.mergeCalls.size(), 2);
        QCOMPARE(source.csvCalls.size(), 2);
    }

    // While the merge runs, a bar shows how far it is and the windows answer; Cancel stops it
    // without a word and without change. A merge that left rows out says how many.
    void mergeShowsProgressAndCancels() {
        TestEnv env;
        FakeReportSource source;
        fill(source, env);
        setFileDialogHook([&](const FileDialogCall&) { return env.path(u"other.db"_qs); });
        ReportWindow w(source);
        w.show();
        source.mergeResult = {true, QString(), 1, 5, 3};
        source.afterMerge = source.playerList + QList<ReportPlayer>{present("Cleo")};
        source.mergeWaitsForCancel = true;
        int seenAt = -1;
        QTimer poll; // runs inside the bar's own event loop
        connect(&poll, &QTimer::timeout, &w, [&] {
            auto* bar = w.findChild<MergeProgress*>();
            if (!bar || !bar->isVisible() || bar->barDone->value() <= 0 || seenAt >= 0)
                return;
            seenAt = bar->barDone->value();
            QVERIFY(bar->lblFile->text().contains(u"other.db"_qs));
            QTest::mouseClick(bar->cmdCancel, Qt::LeftButton);
        });
        poll.start(5);
        QTest::mouseClick(w.cmdMerge, Qt::LeftButton);
        QCOMPARE(seenAt, MergeControl::kComplete / 2);
        QVERIFY(env.messages.isEmpty());
        QCOMPARE(w.lstPlayers->count(), 3);
        QVERIFY(!w.findChild<MergeProgress*>());

        source.mergeWaitsForCancel = false;
        QTest::mouseClick(w.cmdMerge, Qt::LeftButton);
        QCOMPARE(env.messages.size(), 1);
        QCOMPARE(env.messages[0].text, langText(338).arg(langCount(401, 1), langCount(402, 5)) +
                                           u' ' + langCount(385, 3));
        QCOMPARE(w.lstPlayers->count(), 4);
    }

    // A PDF that cannot be written is said, and leaves no half file behind.
    void pdfWrittenWholeOrSaid() {
        TestEnv env;
        FakeReportSource source;
        fill(source, env);
        QString answer = env.path(QStringLiteral("Anna.pdf"));
        setFileDialogHook([&](const FileDialogCall&) { return answer; });
        ReportWindow w(source);
        QTest::mouseClick(w.cmdPdf, Qt::LeftButton);
        QVERIFY(env.readFile(QStringLiteral("Anna.pdf")).startsWith("%PDF"));
        QVERIFY(env.messages.isEmpty());

        answer = env.path(QStringLiteral("missing/class.pdf"));
        w.tabs->setCurrentIndex(1);
        QTest::mouseClick(w.cmdPdf, Qt::LeftButton);
        QCOMPARE(env.messages.size(), 1);
        QVERIFY(!QFile::exists(answer));
    }

    // The real save dialog deletes nothing (a child may be at the keyboard), and a name typed
    // without its suffix is asked about under the name it gets before anything is replaced.
    void saveDialogAsksUnderTheSuffixAndDeletesNothing() {
        TestEnv env;
        FakeReportSource source;
        fill(source, env);
        env.writeFile(u"Anna.csv"_qs, "precious");
        ReportWindow w(source);
        QStringList questions;
        bool typed = false, deleteOffered = false;
        ModalDriver driver([&](QWidget* modal) {
            if (auto* menu = qobject_cast<QMenu*>(modal)) {
                // The file's context menu: Delete is clicked if it can be.
                for (QAction* a : menu->actions()) {
                    if (a->objectName() == u"qt_delete_action" && a->isEnabled()) {
                        deleteOffered = true;
                        QTest::mouseClick(menu, Qt::LeftButton, {},
                                          menu->actionGeometry(a).center());
                    }
                }
                menu->close();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                questions << box->text();
                box->done(typed ? QMessageBox::No : QMessageBox::Yes); // keep it, delete it
            } else if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog && typed) {
                dialog->reject();
            } else if (dialog) {
                dialog->setDirectory(env.dir());
                auto* files = dialog->findChild<QAbstractItemView*>(u"listView"_qs);
                QModelIndex anna;
                for (int i = 0; i < 500 && !anna.isValid(); ++i) {
                    QTest::qWait(10); // the folder is read by a thread of its own
                    const QModelIndexList found =
                        files->model()->match(files->model()->index(0, 0, files->rootIndex()),
                                              Qt::DisplayRole, u"Anna.csv"_qs, 1, Qt::MatchExactly);
                    anna = found.value(0);
                }
                const QPoint at = files->visualRect(anna).center();
                QContextMenuEvent rightClick(QContextMenuEvent::Mouse, at,
                                             files->viewport()->mapToGlobal(at));
                QApplication::sendEvent(files->viewport(), &rightClick);
                typed = true;
                auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_qs);
                name->setText(u"Anna"_qs);
                QTest::keyClick(name, Qt::Key_Return);
            }
        });
        QTest::mouseClick(w.cmdCsv, Qt::LeftButton);
        QVERIFY(!deleteOffered);
        QCOMPARE(env.readFile(u"Anna.csv"_qs), QByteArray("precious"));
        QCOMPARE(questions.size(), 1);
        QVERIFY2(questions[0].contains(u"Anna.csv"_qs), qPrintable(questions[0]));
        QVERIFY(source.csvCalls.isEmpty());
    }

    // The print dialog offers printers only, no file.
    void printDialogPrintsToNoFile() {
        TestEnv env;
        QPrinter printer;
        bool toFile = true, pdfListed = true;
        ModalDriver driver([&](QWidget* modal) {
            if (auto* dialog = qobject_cast<QPrintDialog*>(modal)) {
                toFile = dialog->testOption(QAbstractPrintDialog::PrintToFile);
                auto* printers = dialog->findChild<QComboBox*>(u"printers"_qs);
                pdfListed = printers && printers->findText(u"(PDF)"_qs, Qt::MatchContains) >= 0;
            }
            modal->close();
        });
        QVERIFY(!askPrinter(printer, nullptr));
        QVERIFY(!toFile);
        QVERIFY(!pdfListed);
    }

    // The exports and a printer that writes a file never replace a file of Kalmix's own, nor
    // anything that is not a regular file: the message says which, and nothing is written.
    // Without any printer, printing points to the PDF.
    void exportsRefuseOwnFilesAndNonFiles() {
        TestEnv env;
        FakeReportSource source;
        fill(source, env);
        SaveIni(u"Optionen"_qs, u"Sprache"_qs, u"1000"_qs);
        const QByteArray settings = env.readFile(u"Kalmix.ini"_qs);
        QVERIFY(::mkfifo(QFile::encodeName(env.path(u"pipe.csv"_qs)).constData(), 0600) == 0);
        QString answer = env.iniPath();
        setFileDialogHook([&](const FileDialogCall&) { return answer; });
        setPrintDialogHook([&](QPrinter& printer) {
            printer.setOutputFileName(env.path(u"Kalmix.db"_qs));
            return true;
        });
        ReportWindow w(source);
        QTest::mouseClick(w.cmdCsv, Qt::LeftButton);
        QTest::mouseClick(w.cmdPdf, Qt::LeftButton);
        QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
        answer = env.path(u"pipe.csv"_qs);
        QTest::mouseClick(w.cmdCsv, Qt::LeftButton);
        setPrintDialogHook([](QPrinter&) { return true; }); // no printer set up
        QTest::mouseClick(w.cmdPrint, Qt::LeftButton);
        QStringList texts;
        for (const MsgBoxCall& m : env.messages)
            texts << m.text;
        QCOMPARE(texts,
                 QStringList({langText(370).arg(env.iniPath()), langText(370).arg(env.iniPath()),
                              langText(370).arg(env.path(u"Kalmix.db"_qs)),
                              langText(371).arg(env.path(u"pipe.csv"_qs)),
                              langText(372).arg(u"Save as PDF..."_qs)}));
        QVERIFY(source.csvCalls.isEmpty());
        QCOMPARE(env.readFile(u"Kalmix.ini"_qs), settings);
        QVERIFY(!QFile::exists(env.path(u"Kalmix.db"_qs)));
    }

    // While a password is set, the settings window's report button asks for it unless the
    // window was opened with it.
    void reportFromSettingsFollowsTheirLock() {
        TestEnv env;
        SaveIni(u"Optionen"_qs, u"Passwort"_qs, makePasswordHash(u"Geheim"_qs, 10));
        frmUebung settings;
        auto* button = settings.findChild<QPushButton*>(u"cmdReport"_qs);
        env.answerPassword(u"geheim"_qs);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(env.messages.size(), 1);
        QCOMPARE(env.messages[0].text, langText(350)); // no report: wrong
        QTimer::singleShot(0, &settings, [&] {
            QTest::mouseClick(button, Qt::LeftButton);
            settings.hide();
        });
        settings.showModal(true);
        QCOMPARE(env.passwordPrompts.size(), 1);
        QCOMPARE(env.messages.size(), 2);
        QCOMPARE(env.messages[1].text, langText(337)); // the report's door opened
    }

    // A PDF that does not fit (a full disk, a file-size limit) is a failure, and the file that
    // was there stays as it was.
    void pdfThatDoesNotFitKeepsTheOldFile() {
        TestEnv env;
        FakeReportSource source;
        fill(source, env);
        QString why;
        QVERIFY(savePdf(env.path(u"whole.pdf"_qs), nullptr, source.rows, source.now, &why));
        env.writeFile(u"a.pdf"_qs, "precious");
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        rlimit limit = before;
        limit.rlim_cur = QFileInfo(env.path(u"whole.pdf"_qs)).size() - 10;
        const auto signalBefore = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool saved = savePdf(env.path(u"a.pdf"_qs), nullptr, source.rows, source.now, &why);
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, signalBefore);
        QVERIFY(!saved);
        QVERIFY(!why.isEmpty());
        QCOMPARE(env.readFile(u"a.pdf"_qs), QByteArray("precious"));
    }

    // Without a history the report says so, from the settings window as from the help menu.
    void nullSourceGivesMessage() {
        TestEnv env;
        frmUebung settings;
        auto* button = settings.findChild<QPushButton*>(QStringLiteral("cmdReport"));
        QVERIFY(button);
        QCOMPARE(button->text(), langText(301));
        button->click();
        QCOMPARE(env.messages.size(), 1);
        QCOMPARE(env.messages[0].text, langText(337));
    }

    // No two buttons or tabs of the window share an access key, in any language.
    void accessKeysDistinct() {
        TestEnv env;
        FakeReportSource source;
        ReportWindow w(source);
        for (int lang = 0; lang < 7; ++lang) {
            SprachBasis = static_cast<std::int16_t>(lang * 1000);
            w.Sprache();
            QStringList texts;
            for (const QPushButton* b : w.findChildren<QPushButton*>())
                texts.append(b->text());
            texts << w.tabs->tabText(0) << w.tabs->tabText(1);
            QString keys;
            for (const QString& t : texts) {
                const qsizetype amp = t.indexOf(u'&');
                QVERIFY2(amp >= 0 && amp + 1 < t.size(), qPrintable(t));
                const QChar key = t[amp + 1].toLower();
                QVERIFY2(!keys.contains(key),
                         qPrintable(t + u" in language " + QString::number(lang)));
                keys += key;
            }
        }
    }

    // A cell's colour follows the history of the fact that the cell stands for.
    void factCellState_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("maxSum");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<ReportFact::State>("state");
        using S = ReportFact::State;
        // Facts: 3 · 7 mastered, 21 : 7 often wrong, 4 + 5 learning, 9 - 4 mastered.
        QTest::newRow("multiplier 3, factor 7") << u"*"_qs << 10 << 1 << 1 << S::Mastered;
        QTest::newRow("factor 7 times 4: never asked") << u"*"_qs << 10 << 1 << 2 << S::NotYet;
        QTest::newRow("factor 5 times 3: another fact") << u"*"_qs << 10 << 0 << 1 << S::NotYet;
        QTest::newRow("21 : 7") << u"/"_qs << 10 << 1 << 0 << S::OftenWrong;
        QTest::newRow("4 + 5") << u"+"_qs << 10 << 3 << 4 << S::Learning;
        QTest::newRow("5 + 4 is not 4 + 5") << u"+"_qs << 10 << 4 << 3 << S::NotYet;
        QTest::newRow("9 - 4") << u"-"_qs << 10 << 7 << 3 << S::Mastered;
    }
    void factCellState() {
        QFETCH(QString, operation);
        QFETCH(int, maxSum);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(ReportFact::State, state);
        using S = ReportFact::State;
        PlayerExercise e;
        e.maxSum = maxSum;
        e.factors = {5, 7};
        const QList<ReportFact> facts = {{3, 7, 4, 4, S::Mastered, false},
                                         {21, 7, 3, 1, S::OftenWrong, false},
                                         {4, 5, 2, 1, S::Learning, false},
                                         {9, 4, 5, 5, S::Mastered, false}};
        FactGridWidget grid;
        grid.setFacts(factLayout(e, operation), facts);
        QCOMPARE(grid.cellState(row, column), state);
    }
};

QTEST_MAIN(TestReportWindow)
#include "tst_reportwindow.moc"
