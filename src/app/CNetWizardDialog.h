#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "lan/LanDatagram.h"
#include "lan/NetWizardSettings.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace orbisight {

// "Network Wizard": puts a camera found on the LAN on a wired network or
// makes it a Wi-Fi client, and sends the result as one LAN set. Works on a
// copy of the camera's LAN record.
class CNetWizardDialog : public QDialog {
    Q_OBJECT

  public:
    // Scans for Wi-Fi networks; runs off the window thread.
    using ScanSource = std::function<std::vector<std::string>()>;

    CNetWizardDialog(const CamNetParam& record, uint16_t setPort, QWidget* parent = nullptr,
                     ScanSource scan = {});

    enum class Path { kLan, kWifi };
    void ChoosePath(Path path);
    void Next();
    void Prev();
    // Checks, writes the pages into the block and broadcasts it; closes the
    // wizard when sent. False (and a message) when a value is refused.
    bool Finish();
    // Starts a scan; its names arrive in the network list.
    void StartScan();

    int Step() const { return step_; }
    const DevInfoBlock& Block() const { return block_; }
    QPushButton* NextButton() const { return next_; }
    QPushButton* PrevButton() const { return prev_; }
    QPushButton* FinishButton() const { return finish_; }
    QListWidget* Networks() const { return networks_; }
    QLineEdit* Essid() const { return essid_; }
    QLineEdit* Key() const { return key_; }
    QCheckBox* WifiDhcp() const { return wifiDhcp_; }
    QLineEdit* WiredField(int index) const { return wired_[index]; }
    QLineEdit* WifiField(int index) const { return wifiAddr_[index]; }

    // The names of the last scan of this program (the Wi-Fi step starts
    // from them).
    static std::vector<std::string> LastScan();
    // Scans with nmcli (blocks: call it off the window thread) and keeps
    // the names as the program's last scan.
    static std::vector<std::string> ScanAndKeep();

  private:
    void ShowStep();
    void SetNetworks(const std::vector<std::string>& names);

    DevInfoBlock block_;
    uint16_t setPort_;
    ScanSource scan_;
    Path path_ = Path::kLan;
    int step_ = 0;
    QStackedWidget* pages_ = nullptr;
    QRadioButton* lanChoice_ = nullptr;
    QRadioButton* wifiChoice_ = nullptr;
    QLineEdit* wired_[4] = {};
    QCheckBox* wiredDhcp_ = nullptr;
    QListWidget* networks_ = nullptr;
    QLineEdit* essid_ = nullptr;
    QLineEdit* key_ = nullptr;
    QLineEdit* wifiAddr_[4] = {};
    QCheckBox* wifiDhcp_ = nullptr;
    QPushButton* prev_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* finish_ = nullptr;
    QTimer scanTimer_;  // "timer 1": a fresh scan 2000 ms after the Wi-Fi step opens
};

}  // namespace orbisight
