#pragma once

#include <QUrl>
#include <functional>
#include <string_view>

namespace orbisight {

// Opens a camera's own web page ("http://HOST/sd/ipnc/") in the desktop's
// browser, as the tree's "Visit Web" and the pane's web box do. Window
// thread only.
void OpenCameraWebPage(std::string_view hostAddress);

// Where the page is opened: by default QDesktopServices. Tests (and the
// scripted demo) catch the address instead; an empty opener restores the
// default.
using WebPageOpener = std::function<void(const QUrl& url)>;
void SetWebPageOpener(WebPageOpener opener);

}  // namespace orbisight
