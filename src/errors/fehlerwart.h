#pragma once

#include "errors/protocol.h"

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>

class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace kalmix {

// The error component: one modal dialog for the whole run, created on first use and only
// hidden between errors. OnError shows the error in Err(), appends its protocol to the error
// log, and returns the user's choice (see ErrorAction).
class Fehlerwart : public QDialog {
    Q_OBJECT
public:
    static Fehlerwart& instance();
    // Makes the dialog the reporter of every procedure's errors.
    static void install();

    std::int16_t OnError(const QString& module, const QString& procedure);
    void SetProgInfo(const QString& text);
    void CallStack(const QString& entry);

    QString BuildProtocol() const;
    // Appends the protocol and a CR LF to the error log; false when the log cannot be written,
    // in which case the file keeps what it had.
    bool AppendProtocolFile() const;
    void cmdProtocol_Click(int index);
    void cmdContinue_Click(int index);

    static QString errorLogPath();      // <program dir>/Kalmix.EPT
    static QString savedProtocolPath(); // <program dir>/Kalmix.ERR

    // Tests take the modal display's place: the hook sees the shown dialog and may press a
    // button; without a press the previous choice is returned.
    using ChoiceHook = std::function<void(Fehlerwart&)>;
    static void setChoiceHook(ChoiceHook hook);
    // Tests (and machines without a printer) see the printer lines here instead of a printer.
    using PrintHook = std::function<void(const QStringList&)>;
    static void setPrintHook(PrintHook hook);

    std::array<QLabel*, 4> lblErrTitel{};
    std::array<QLabel*, 4> lblError{};
    QLabel* lblProgInfo = nullptr;
    QLabel* lblComment = nullptr;
    QListWidget* lstCallStack = nullptr;
    QFrame* framComment = nullptr;
    QGroupBox* framFehler = nullptr;
    QGroupBox* framProgInfo = nullptr;
    QGroupBox* framProtocol = nullptr;
    QGroupBox* framCallStack = nullptr;
    QGroupBox* framContinue = nullptr;
    std::array<QPushButton*, 4> cmdProtocol{};
    std::array<QPushButton*, 4> cmdContinue{};

    std::int16_t storedAction() const { return m_action; }
    // A design length in twips as pixels of this dialog.
    int px(int twips) const;

private:
    Fehlerwart();
    void LayoutDialog();
    // The protocol of the dialog's captions and call stack with these error values.
    ProtocolData protocolData(const QString (&values)[4]) const;
    bool appendToLog(const ProtocolData& data) const;
    void printProtocol(const QStringList& lines);
    void place(QWidget* w, int left, int top, int width, int height) const;
    QLabel* label(QWidget* parent, const QString& text, int left, int top, int width,
                  int height) const;

    std::int16_t m_action = 0;
    double m_scale = 1.0;
};

} // namespace kalmix
