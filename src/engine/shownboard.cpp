#include "engine/shownboard.h"

namespace kalmix {

namespace {
bool tracked(int row, int slot) {
    return row >= 0 && row <= 1 && slot >= 0 && slot <= 8;
}
} // namespace

void ShownBoard::showTaskText(bool visible) {
    m_board.showTaskText(visible);
    m_shown.taskText = visible;
}

void ShownBoard::showQuestion(bool visible) {
    m_board.showQuestion(visible);
    m_shown.question = visible;
}

void ShownBoard::showSymbol(int row, int slot, int symbol) {
    m_board.showSymbol(row, slot, symbol);
    if (tracked(row, slot))
        m_shown.symbols[row][slot] = symbol;
}

void ShownBoard::hideSymbol(int row, int slot) {
    m_board.hideSymbol(row, slot);
    if (tracked(row, slot))
        m_shown.symbols[row][slot] = -1;
}

void ShownBoard::showJaNein(int index, bool visible) {
    m_board.showJaNein(index, visible);
    if (index == 0 || index == 1)
        m_shown.jaNein[index] = visible;
}

void ShownBoard::showAgain(const ShownItems& items) {
    if (items.taskText)
        showTaskText(true);
    if (items.question)
        showQuestion(true);
    for (int row = 0; row < 2; ++row)
        for (int slot = 0; slot < 9; ++slot)
            if (items.symbols[row][slot] >= 0)
                showSymbol(row, slot, items.symbols[row][slot]);
    for (int i = 0; i < 2; ++i)
        if (items.jaNein[i])
            showJaNein(i, true);
}

} // namespace kalmix
