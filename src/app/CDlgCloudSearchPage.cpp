#include "app/CDlgCloudSearchPage.h"

#include <QLabel>
#include <QVBoxLayout>

namespace orbisight {

CDlgCloudSearchPage::CDlgCloudSearchPage(const RecordManagerContext&, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Cloud storage is not available in this build.", this));
    layout->addStretch(1);
}

CDlgCloudSearchPage::~CDlgCloudSearchPage() = default;

void CDlgCloudSearchPage::SetDevice(const DeviceInfo&) {}

}  // namespace orbisight
