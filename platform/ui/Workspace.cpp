#include "platform/ui/Workspace.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/ui/QtConvert.h"

namespace wv {

bool Workspace::openURL(const std::string& url) {
    const QUrl parsed(toQString(url), QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme().isEmpty()) return false;
    return QDesktopServices::openUrl(parsed);
}

}  // namespace wv
