#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace kalmix {

enum class MsgIcon { None, Information, Exclamation, Question, Critical };
enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No };

struct MsgBoxCall {
    QString text;
    MsgButtons buttons;
    MsgIcon icon;
    QString caption;
    MsgResult defaultButton = MsgResult::Yes; // the button Enter presses in a Yes/No box
    QString checkBox;                         // the text of a tick box under the message, if any
    bool* checked = nullptr;                  // where the tick box's state goes when the box closes
};

// A modal message box; the caption is the program's title unless one is given. A Yes/No box
// has Yes as its default button unless No is given. With a checkBox text the box shows a tick
// box, unticked, and writes whether it was ticked to *checked.
MsgResult MsgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                 MsgIcon icon = MsgIcon::None, QWidget* parent = nullptr,
                 const QString& caption = {}, MsgResult defaultButton = MsgResult::Yes,
                 const QString& checkBox = {}, bool* checked = nullptr);

// Tests answer message boxes here instead of a person; nullptr shows real boxes again.
using MsgBoxHook = std::function<MsgResult(const MsgBoxCall&)>;
void setMsgBoxHook(MsgBoxHook hook);

} // namespace kalmix
