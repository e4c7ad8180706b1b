#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "account/DeviceInfo.h"
#include "app/RecordManagerContext.h"
#include "records/CloudRecords.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace orbisight {

class CloudWorker;

// The "Cloud Storage" tab of the record manager: the account's cameras, a
// day and time window, the camera's cloud recordings found in it, and a
// double click that plays a recording (downloaded first when there is no
// complete local copy). Library calls run on the page's worker; their
// status texts and results come back as queued calls.
class CDlgCloudSearchPage : public QWidget {
    Q_OBJECT

  public:
    CDlgCloudSearchPage(const RecordManagerContext& context, QWidget* parent = nullptr);
    ~CDlgCloudSearchPage() override;

    void SetDevice(const DeviceInfo& camera);  // a copy of the camera's record

  signals:
    void PlayFile(const QString& path);  // a local file to play (0x4401)

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void BuildControls();
    void RebuildTree();
    void FillSearchIds();
    void AddSearchId(const QString& id);
    void ChooseCamera(QTreeWidgetItem* item);
    void Refresh();
    void Query();
    void SetStatus(const QString& text);
    // The registered message of a finished query: refills the list.
    void QueryFinished(std::vector<VideoInfo> videos, bool connected);
    void FillList();
    void PlayRow(QTreeWidgetItem* item);
    // Plays the record when its local copy is complete; otherwise downloads
    // it when download is true.
    void PlayRecord(const VideoInfo& video, bool download);
    void Download(const VideoInfo& video, const std::filesystem::path& path);
    void DownloadFinished(const VideoInfo& video, const std::filesystem::path& path, bool ok);
    void FixColumns();

    RecordManagerContext context_;
    std::string defaultServer_;
    std::vector<DeviceInfo> cameras_;      // the account's cameras, at the last rebuild
    std::unique_ptr<DeviceInfo> device_;   // the chosen camera (copy)
    DeviceInfo queried_{};                 // the camera of the list shown
    std::vector<VideoInfo> videos_;        // sorted by time, then type
    bool connected_ = false;               // the last query's connection is up
    std::unique_ptr<CloudWorker> worker_;  // null when cloud storage is unavailable

    QLineEdit* filter_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QComboBox* searchId_ = nullptr;
    QDateEdit* date_ = nullptr;
    QTimeEdit* start_ = nullptr;
    QTimeEdit* end_ = nullptr;
    QPushButton* query_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QLabel* status_ = nullptr;
    QStringList statusLog_;
};

}  // namespace orbisight
