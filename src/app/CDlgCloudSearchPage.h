#pragma once

#include <QString>
#include <QWidget>

#include "account/DeviceInfo.h"
#include "app/RecordManagerContext.h"

namespace orbisight {

// The "Cloud Storage" page of the record manager.
class CDlgCloudSearchPage : public QWidget {
    Q_OBJECT
  public:
    CDlgCloudSearchPage(const RecordManagerContext& context, QWidget* parent = nullptr);
    ~CDlgCloudSearchPage() override;
    void SetDevice(const DeviceInfo& camera);  // a copy of the camera's record

  signals:
    void PlayFile(const QString& path);  // a local file to play
};

}  // namespace orbisight
