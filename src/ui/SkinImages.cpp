#include "ui/SkinImages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QThread>

#include "platform/ProgramFiles.h"

namespace orbisight::ui {

QString SkinImages::Folder() {
    QByteArray env = qgetenv("ORBISIGHT_IMAGES");
    if (!env.isEmpty()) {
        return QString::fromLocal8Bit(env);
    }
    // Beside the program in the build folder, else in the installed tree;
    // where it is does not change during a run.
    static const QString found = []() -> QString {
        std::filesystem::path program = ProgramFolder();
        if (program.empty()) {
            return QCoreApplication::applicationDirPath() + "/images";
        }
        return QString::fromStdString(
            FirstExisting({program / "images", InstalledDataFolder(program) / "images"}).string());
    }();
    return found;
}

QString SkinImages::Path(const QString& name) {
    return Folder() + "/" + name;
}

QPixmap SkinImages::Get(const QString& name) {
    static QHash<QString, QPixmap> cache;
    auto it = cache.find(name);
    if (it != cache.end()) {
        return it.value();
    }
    QPixmap pixmap;
    QString path = Path(name);
    if (QFileInfo::exists(path)) {
        for (int attempt = 0; attempt < 5 && pixmap.isNull(); ++attempt) {
            if (attempt > 0) {
                QThread::msleep(1);
            }
            pixmap.load(path);
        }
    }
    cache.insert(name, pixmap);
    return pixmap;
}

QString SkinImages::HoverName(const QString& normalName) {
    QString name = normalName;
    int pos = name.lastIndexOf("-01.");
    if (pos >= 0) {
        return name.replace(pos, 4, "-02.");
    }
    if (name.startsWith("Picture-View-") && name.endsWith("-1.png")) {
        return name.left(name.size() - 6) + "-2.png";
    }
    int dot = name.lastIndexOf('.');
    return dot < 0 ? name + "-02" : name.left(dot) + "-02" + name.mid(dot);
}

}  // namespace orbisight::ui
