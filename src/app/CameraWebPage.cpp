#include "app/CameraWebPage.h"

#include <QDesktopServices>
#include <QString>

#include "device/DeviceParamEdit.h"

namespace orbisight {
namespace {

WebPageOpener& Opener() {
    static WebPageOpener opener;  // window thread only
    return opener;
}

}  // namespace

void OpenCameraWebPage(std::string_view hostAddress) {
    QUrl url(QString::fromStdString(params::CameraWebPageUrl(hostAddress)));
    if (Opener()) {
        Opener()(url);
    } else {
        QDesktopServices::openUrl(url);
    }
}

void SetWebPageOpener(WebPageOpener opener) {
    Opener() = std::move(opener);
}

}  // namespace orbisight
