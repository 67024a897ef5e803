#include "profiles/record.h"

#include "profiles/settingsfile.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"
#include "services/speech.h"

#include <algorithm>

namespace kalmix {

QString aktiv;
std::int16_t Uebung = 0;
std::int16_t MaxSum = 0;
std::int16_t MinSum = 0;
std::int16_t Null = 0;
std::array<std::int16_t, 25> SymbolListe{};
std::int16_t SymbolZahl = 0;
std::array<std::int16_t, 20> FaktorListe{};
std::int16_t FaktorZahl = 0;
std::int16_t NullFaktor = 0;
QString SignMul;
QString SignDiv;
std::int16_t AufgZahl = 0;
std::int16_t Zeit = 0;
std::int16_t Animation = 0;
std::int16_t Hilfe = 0;
std::int16_t LogFile = 0;
std::int16_t Ziffernblock = 0;
std::int16_t Knifflig = 0;
std::int16_t Vorlesen = 0;

namespace {
constexpr std::int16_t kBounds[9] = {10, 20, 50, 100, 200, 500, 9, 19, 6};
}

void resetRecord() {
    aktiv.clear();
    Uebung = MaxSum = MinSum = Null = 0;
    SymbolListe.fill(0);
    FaktorListe.fill(0);
    SymbolZahl = FaktorZahl = NullFaktor = 0;
    SignMul.clear();
    SignDiv.clear();
    AufgZahl = Zeit = Animation = Hilfe = LogFile = Ziffernblock = Knifflig = Vorlesen = 0;
}

namespace {

template <std::size_t N>
bool validList(const std::array<std::int16_t, N>& list, int count,
               const std::function<bool(int)>& valid) {
    if (count < 1 || count > int(N))
        return false;
    for (int i = 0; i < count; ++i) {
        if (!valid(list[i]))
            return false;
    }
    return true;
}

template <std::size_t N> void clearAfter(std::array<std::int16_t, N>& list, int count) {
    for (int i = std::max(count, 0); i < int(N); ++i)
        list[i] = 0;
}

std::int16_t settleTruth(std::int16_t value) {
    return truth(value != 0);
}

} // namespace

void settleRecord() {
    Uebung = std::clamp<std::int16_t>(Uebung, 0, 8);
    if (Uebung <= 1)
        MaxSum = 9;
    else if (rangeOption(MaxSum) < 0)
        MaxSum = 10;
    MinSum = minSumFor(MaxSum);

    // Only the list the kind asks for: the other one stays as the last apply step left it.
    const bool symbolKind = Uebung <= 1;
    const bool factorKind = Uebung == 4 || Uebung == 5 || Uebung == 7 || Uebung == 8;
    if (symbolKind) {
        if (!validList(SymbolListe, SymbolZahl, [](int k) { return k >= 0 && k <= 24; })) {
            SymbolListe = {0, 2, 3, 5, 7};
            SymbolZahl = 5;
        }
        clearAfter(SymbolListe, SymbolZahl);
    }
    if (factorKind) {
        if (!validList(FaktorListe, FaktorZahl,
                       [](int f) { return f == 0 || (f >= 2 && f <= 20); })) {
            FaktorListe = {4, 5, 7, 9, 13};
            FaktorZahl = 5;
        }
        clearAfter(FaktorListe, FaktorZahl);
        // A 0 among the divisors is asked as "0 : n"; without the switch it would be "0 : 0".
        if (std::find(FaktorListe.begin(), FaktorListe.begin() + FaktorZahl, 0) !=
            FaktorListe.begin() + FaktorZahl)
            NullFaktor = kTrue;
    }

    // Exactly one of the count and the time carries the value: the time when it is set.
    if (Zeit != 0) {
        Zeit = std::clamp<std::int16_t>(Zeit, 60, 600);
        AufgZahl = 0;
    } else {
        AufgZahl = AufgZahl == 0 ? 10 : std::clamp<std::int16_t>(AufgZahl, 10, 100);
    }

    Null = settleTruth(Null);
    NullFaktor = settleTruth(NullFaktor);
    Animation = settleTruth(Animation);
    Hilfe = settleTruth(Hilfe);
    LogFile = settleTruth(LogFile);
    Ziffernblock = settleTruth(Ziffernblock);
    Knifflig = settleTruth(Knifflig);
    Vorlesen = settleTruth(Vorlesen);
    if (SignMul.trimmed().isEmpty())
        SignMul = u' ' + mulSignOption(0);
    if (SignDiv.trimmed().isEmpty())
        SignDiv = u' ' + divSignOption(0);
}

std::int16_t rangeBound(int option) {
    if (option < 0 || option > 8)
        raiseError(ErrNr::SubscriptOutOfRange);
    return kBounds[option];
}

int rangeOption(int bound) {
    for (int i = 0; i < 9; ++i) {
        if (kBounds[i] == bound)
            return i;
    }
    return -1;
}

std::int16_t minSumFor(std::int16_t maxSum) {
    switch (maxSum) {
    case 6:
    case 9:
    case 10:
        return 2;
    case 19:
    case 20:
        return 11;
    case 100:
        return 31;
    case 200:
    case 500:
        return 101;
    default:
        return 21;
    }
}

QStringList readPlayerNames() {
    return GetIniList(QStringLiteral("Benutzer"), QStringLiteral("Name"), true);
}

QString readActivePlayer() {
    QString name;
    Procedure("Allgemein", "GetIniString").run({[&] {
        name = profileRead(iniFilePath(), QStringLiteral("Benutzer"), QStringLiteral("aktiv"))
                   .value_or(QString());
    }});
    return name;
}

bool reservedPlayerName(const QString& name) {
    // The settings file keeps the shared options and the player list in sections of these
    // names; a player of the same name would share them, and deleting it would wipe them.
    return name.trimmed().compare(u"Optionen", Qt::CaseInsensitive) == 0 ||
           name.trimmed().compare(u"Benutzer", Qt::CaseInsensitive) == 0;
}

bool validPlayerName(const QString& name) {
    if (name.isEmpty() || name.size() > kMaxPlayerNameLength || name != name.trimmed() ||
        reservedPlayerName(name))
        return false;
    // The characters the name box refuses: the section brackets and control characters.
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) {
        return c == u'[' || c == u']' || c.unicode() < 0x20 || c.unicode() == 0x7f;
    });
}

std::int16_t factorOfBox(int box) {
    return box == 19 ? 0 : static_cast<std::int16_t>(box + 2);
}

bool tickAt(const QString& ticks, int box) {
    return box >= 0 && box < ticks.size() && ticks[box] == u'1';
}

QString mulSignOption(int option) {
    static const QString signs[3] = {QStringLiteral("·"), QStringLiteral("x"), QStringLiteral("*")};
    return signs[std::clamp(option, 0, 2)];
}

QString divSignOption(int option) {
    static const QString signs[3] = {QStringLiteral(":"), QStringLiteral("/"), QStringLiteral("÷")};
    return signs[std::clamp(option, 0, 2)];
}

bool applySettings(const SettingsControls& c, const std::function<void()>& save) {
    // The statements are numbered as OK numbers its steps: the switches and lists, the save,
    // and the range bound with the signs.
    bool completed = false;
    const SettingsBatch together; // the profile and the signs in one write
    Procedure("frmUebung", "cmdOptOK_Click")
        .run({
            [&] {
                LogFile = truth(c.logFile);
                Hilfe = truth(c.hilfe);
                Animation = truth(c.animation);
                Ziffernblock = truth(c.numberPad);
                Knifflig = truth(c.tricky);
                Vorlesen = truth(c.readAloud);
                if (Uebung == 0 || Uebung == 1) {
                    SymbolListe.fill(0);
                    SymbolZahl = 0;
                    for (int k = 0; k < 25; ++k) {
                        if (c.symbols[k])
                            SymbolListe[SymbolZahl++] = static_cast<std::int16_t>(k);
                    }
                    if (SymbolZahl == 0) {
                        SymbolZahl = 1; // the single symbol 0, and nothing else is applied
                        exitProcedure();
                    }
                }
                if (Uebung == 4 || Uebung == 5 || Uebung == 7 || Uebung == 8) {
                    FaktorZahl = 0;
                    for (int i = 0; i < 20; ++i) {
                        FaktorListe[i] = 0;
                        if (c.factors[i])
                            FaktorListe[FaktorZahl++] = factorOfBox(i);
                    }
                    if (FaktorZahl == 0) {
                        MsgBox(langText(176), MsgButtons::Ok, MsgIcon::Exclamation);
                        exitProcedure();
                    }
                }
            },
            [&] {
                if (!c.name.isEmpty() && save)
                    save();
            },
            [&] {
                MinSum = minSumFor(MaxSum);
                // Without a player nothing is stored, the signs included.
                SignMul = u' ' + mulSignOption(c.signMulOption);
                if (!c.name.isEmpty())
                    SaveIni(QStringLiteral("Optionen"), QStringLiteral("SignMul"), SignMul);
                SignDiv = u' ' + divSignOption(c.signDivOption);
                if (!c.name.isEmpty())
                    SaveIni(QStringLiteral("Optionen"), QStringLiteral("SignDiv"), SignDiv);
                completed = true;
            },
        });
    settleRecord();
    // A player who has tasks read aloud is heard from the first task on: the voice is made
    // ready now, in the background, rather than when that task appears.
    if (Vorlesen != 0 && !c.name.isEmpty())
        speaker().prepare(SprachBasis / 1000);
    return completed;
}

} // namespace kalmix
