#include "services/desktop.h"

#include <QDesktopServices>

namespace kalmix {

namespace {
ShellOpenHook& hook() {
    static ShellOpenHook h;
    return h;
}
} // namespace

void setShellOpenHook(ShellOpenHook h) {
    hook() = std::move(h);
}

bool ShellOpen(const QUrl& url) {
    if (hook())
        return hook()(url);
    return QDesktopServices::openUrl(url);
}

} // namespace kalmix
