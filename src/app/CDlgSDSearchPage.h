#pragma once

#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "account/DeviceInfo.h"
#include "app/RecordManagerContext.h"
#include "device/CXOMPDeviceOper.h"
#include "platform/Notice.h"
#include "records/SdRecordRows.h"

class QDateEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimeEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace orbisight {

class DialogChannel;

// The "SD Record" page of the record manager: the recordings on one
// camera's memory card for a day and a time window, downloaded into the
// record folder and handed to the manager's player when complete. The
// camera is the one chosen in the page's own camera tree (the account's
// cameras), or the one the manager was opened for.
//
// The page talks to the camera over a command channel of its own (mode 0),
// opened off the window thread and reused while it stays logged in. A
// download runs until the camera's end reply; closing the page, choosing
// another camera, a refusal or a lost link stop it and remove the partial
// file, so a cut file never looks like a recording.
class CDlgSDSearchPage : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kConnectPollMs = 3000;  // timer 1
    static constexpr int kProgressMs = 1000;     // timer 3
    enum Column { kColumnNum = 0, kColumnName, kColumnTime, kColumnSize, kColumnDownload };
    static constexpr int kNumWidth = 44;
    static constexpr int kNameWidth = 120;
    static constexpr int kTimeWidth = 60;
    static constexpr int kSizeWidth = 90;
    static constexpr int kDownloadLess = 314;  // the "Download" column: client width less this

    // timings: tests shorten the channel's waits.
    explicit CDlgSDSearchPage(const RecordManagerContext& context, QWidget* parent = nullptr,
                              const std::optional<CXOMPDeviceOper::Timings>& timings = {});
    ~CDlgSDSearchPage() override;

    // A copy of the camera's record. Another camera than before stops a
    // running download and drops the channel. The camera tree shows it
    // chosen when it is one of the account's.
    void SetDevice(const DeviceInfo& camera);
    // Reads the account's cameras again into the camera tree.
    void RebuildCameraTree();
    // No camera: the page says why (status text) and queries nothing.
    void ClearDevice(const QString& why);
    bool HasDevice() const { return camera_.has_value(); }

    // The query button: connects when needed, then asks for the day's list.
    void Search();
    // A double click on a row: an hour folder lists its files, a recording
    // plays (downloaded first when the local copy is not complete).
    void ActivateRow(int row);
    // Stops a running download (its partial file removed) and drops the
    // channel; the manager calls it when it closes.
    void ClosePage();

    // The channel's notices and open result (window thread).
    void HandleNotice(const Notice& notice);
    void HandleOpened(int result);

    // For the manager and tests.
    QTreeWidget* CameraTree() const { return cameraTree_; }
    QTreeWidget* List() const { return list_; }
    QLabel* Status() const { return status_; }
    QLabel* CameraLabel() const { return cameraLabel_; }
    QProgressBar* Progress() const { return progress_; }
    QDateEdit* DateEdit() const { return date_; }
    QTimeEdit* StartEdit() const { return start_; }
    QTimeEdit* EndEdit() const { return end_; }
    QPushButton* QueryButton() const { return query_; }
    bool Downloading() const { return download_.has_value(); }
    std::filesystem::path DownloadPath() const;
    // The channel's state: none, connecting, logged in.
    bool ChannelOpen() const { return channel_ != nullptr; }

    // The local path of a recording of the page's camera (no folder made).
    std::optional<std::filesystem::path> LocalPathFor(const std::string& name) const;

  signals:
    // A complete local recording to play.
    void PlayFile(const QString& path);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Download {
        std::string name;
        std::filesystem::path path;
        uint32_t size = 0;
    };

    void Build();
    void ChooseCamera(QTreeWidgetItem* item);
    void FitDownloadColumn();
    void Query();
    void OpenChannel();
    void DropChannel();
    void FillList();
    void UpdateProgress();
    // Ends a running download that will not complete: the file is closed
    // and removed, the row and the status say why.
    void FailDownload(const QString& why);
    void FinishDownload();
    void SetStatus(const QString& text);
    void SetRowDownloadText(const std::string& name, const QString& text);
    std::string StartText() const;
    std::string EndText() const;

    RecordManagerContext context_;
    std::optional<CXOMPDeviceOper::Timings> timings_;
    std::optional<DeviceInfo> camera_;
    std::vector<DeviceInfo> cameras_;  // the camera tree's, at its last rebuild
    std::unique_ptr<DialogChannel> channel_;
    bool queryWanted_ = false;  // a query waits for the login
    std::vector<SdRow> rows_;
    std::optional<Download> download_;
    QTimer connectTimer_;   // timer 1
    QTimer progressTimer_;  // timer 3

    QTreeWidget* cameraTree_ = nullptr;
    QLabel* cameraLabel_ = nullptr;
    QDateEdit* date_ = nullptr;
    QTimeEdit* start_ = nullptr;
    QTimeEdit* end_ = nullptr;
    QPushButton* query_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace orbisight
