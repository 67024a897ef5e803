#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <utility>

namespace kalmix {

// What the user chose for a reported run-time error.
enum ErrorAction : std::int16_t {
    ActionRetry = 0,  // run the failing statement again
    ActionIgnore = 1, // go on with the next statement
    ActionLeave = 2,  // leave the procedure at once
    ActionEnd = 3,    // end the program at once
};

// Reports the error in Err() for a module and procedure and returns the user's choice.
// The error dialog is the reporter of the running program.
using ErrorReporter = std::function<std::int16_t(const QString& module, const QString& procedure)>;
void setErrorReporter(ErrorReporter reporter);

// Ends the program at once. The default flushes the standard streams and exits; tests put a
// function here that throws ProgramEnded instead.
using ProgramEnder = std::function<void()>;
void setProgramEnder(ProgramEnder ender);
[[noreturn]] void endProgram();

// Thrown by a test's program ender; never caught by a procedure's handler.
struct ProgramEnded {};

// Leaves the running procedure at once without an error, as "Exit Sub" does.
struct ProcedureExit {};
[[noreturn]] inline void exitProcedure() {
    throw ProcedureExit{};
}

using Statement = std::function<void()>;

// Tests make one chosen statement of a procedure fail with a run-time error, to see which step
// that statement is. Returns true for the statement that is to fail; none is set in the program.
using FaultInjector = std::function<bool(const char* module, const char* procedure, int line)>;
void setFaultInjector(FaultInjector injector);

// A guarded procedure: a sequence of statements numbered from 1. A statement that raises a
// run-time error (or any std::exception) is reported with the module name, the procedure name
// and its number, and then retried, skipped, the procedure left or the program ended, as the
// reporter says. A function keeps its result in a variable that its statements assign, so
// leaving returns what was assigned so far.
class Procedure {
public:
    Procedure(const char* module, const char* name) : m_module(module), m_name(name) {}
    // A procedure whose work can be called off while one of its statements shows a message box
    // (events, the clock's ticks among them, go on under a box): before each statement it asks
    // `wanted`, and once that says no, it stops as if it had been left without an error.
    Procedure(const char* module, const char* name, std::function<bool()> wanted)
        : m_module(module), m_name(name), m_wanted(std::move(wanted)) {}

    // Runs the statements; false when the procedure was left because of an error.
    // A procedure whose waits split it into parts runs each part on its own, numbering the
    // part's statements on from firstLine.
    bool run(std::initializer_list<Statement> statements) const { return run(1, statements); }
    bool run(int firstLine, std::initializer_list<Statement> statements) const;

    const char* module() const { return m_module; }
    const char* name() const { return m_name; }

private:
    std::int16_t report(int line) const;

    const char* m_module;
    const char* m_name;
    std::function<bool()> m_wanted;
};

} // namespace kalmix
