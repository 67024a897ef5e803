#include "services/procedure.h"

#include "services/runtimeerror.h"

#include <cstdio>
#include <cstdlib>
#include <new>

namespace kalmix {

namespace {

ErrorReporter& reporter() {
    static ErrorReporter r;
    return r;
}

FaultInjector& injector() {
    static FaultInjector f;
    return f;
}

ProgramEnder& ender() {
    static ProgramEnder e;
    return e;
}

} // namespace

void setErrorReporter(ErrorReporter r) {
    reporter() = std::move(r);
}
void setFaultInjector(FaultInjector f) {
    injector() = std::move(f);
}
void setProgramEnder(ProgramEnder e) {
    ender() = std::move(e);
}

void endProgram() {
    if (ender())
        ender()();
    std::fflush(nullptr);
    std::_Exit(0);
}

std::int16_t Procedure::report(int line) const {
    Err().line = line;
    if (!reporter()) {
        // No dialog to ask: leaving the procedure is the choice that keeps the program going.
        std::fprintf(stderr, "Kalmix: error %d (%s) in %s.%s, statement %d\n", Err().number,
                     qPrintable(Err().description), m_module, m_name, line);
        return ActionLeave;
    }
    return reporter()(QString::fromLatin1(m_module), QString::fromLatin1(m_name));
}

bool Procedure::run(int firstLine, std::initializer_list<Statement> statements) const {
    const Statement* it = statements.begin();
    while (it != statements.end()) {
        const int line = static_cast<int>(it - statements.begin()) + firstLine;
        if (m_wanted && !m_wanted())
            return true; // called off: nothing more of it runs
        try {
            if (injector() && injector()(m_module, m_name, line))
                raiseError(ErrNr::InternalError, QStringLiteral("injected"));
            (*it)();
            ++it;
            continue;
        } catch (const ProcedureExit&) {
            return true;
        } catch (const RuntimeError& e) {
            Err().number = e.number();
            Err().description = e.description();
        } catch (const std::bad_alloc&) {
            Err().number = ErrNr::OutOfMemory;
            Err().description = errorDescription(ErrNr::OutOfMemory);
        } catch (const std::exception& e) {
            Err().number = ErrNr::InternalError;
            Err().description = QString::fromLocal8Bit(e.what());
        }
        const std::int16_t action = report(line);
        Err().clear();
        switch (action) {
        case ActionRetry:
            break;
        case ActionIgnore:
            ++it;
            break;
        case ActionEnd:
            endProgram();
        case ActionLeave:
        default:
            return false;
        }
    }
    return true;
}

} // namespace kalmix
