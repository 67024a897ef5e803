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
    MsgResult defaultButton = MsgResult::Yes; // of a Yes/No box
};

// A modal message box; the caption is the program's title unless one is given. Enter
// presses the default button: Yes of a Yes/No box unless No is given.
MsgResult MsgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok,
                 MsgIcon icon = MsgIcon::None, QWidget* parent = nullptr,
                 const QString& caption = {}, MsgResult defaultButton = MsgResult::Yes);

// Tests answer message boxes here instead of a person; nullptr shows real boxes again.
using MsgBoxHook = std::function<MsgResult(const MsgBoxCall&)>;
void setMsgBoxHook(MsgBoxHook hook);

} // namespace kalmix
