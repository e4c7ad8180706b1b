#pragma once

#include <QPixmap>
#include <QString>

namespace orbisight::ui {

// The skin images, loaded from the "images" folder next to the executable
// (the build folder), else from the installed share/orbisight/images (or
// from $ORBISIGHT_IMAGES), and kept for the whole run. Loaded on the GUI
// thread only.
class SkinImages {
  public:
    // The image folder in use.
    static QString Folder();
    // The image, or a null pixmap when the file is missing or unreadable. A
    // load is retried a few times, since a folder being written by the build
    // can be caught mid-way.
    static QPixmap Get(const QString& name);
    // The hover partner of a normal image: "-01." becomes "-02." and
    // "Picture-View-N-1" becomes "Picture-View-N-2"; other names get "-02"
    // before the extension.
    static QString HoverName(const QString& normalName);
    // Path of an image file, for the places that load it themselves.
    static QString Path(const QString& name);
};

}  // namespace orbisight::ui
