#include "services/msgbox.h"

#include "services/appinfo.h"

#include <QCheckBox>
#include <QMessageBox>

namespace kalmix {

namespace {
MsgBoxHook& hook() {
    static MsgBoxHook h;
    return h;
}
} // namespace

void setMsgBoxHook(MsgBoxHook h) {
    hook() = std::move(h);
}

MsgResult MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, QWidget* parent,
                 const QString& caption, MsgResult defaultButton, const QString& checkBox,
                 bool* checked) {
    if (checked)
        *checked = false;
    const MsgBoxCall call{
        text,          buttons,
        icon,          caption.isEmpty() ? QString::fromLatin1(kProgramTitle) : caption,
        defaultButton, checked ? checkBox : QString(),
        checked};
    if (hook())
        return hook()(call);

    QMessageBox box(parent);
    box.setWindowTitle(call.caption);
    box.setTextFormat(Qt::PlainText); // language texts and names are shown as they are
    box.setText(text);
    if (checked && !checkBox.isEmpty())
        box.setCheckBox(new QCheckBox(checkBox, &box));
    const auto ticked = [&] {
        if (checked && box.checkBox())
            *checked = box.checkBox()->isChecked();
    };
    switch (icon) {
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::None:
        break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(defaultButton == MsgResult::No ? QMessageBox::No : QMessageBox::Yes);
        const bool yes = box.exec() == QMessageBox::Yes;
        ticked();
        return yes ? MsgResult::Yes : MsgResult::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    ticked();
    return MsgResult::Ok;
}

} // namespace kalmix
