#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "lan/LanDeviceList.h"
#include "platform/Notice.h"
#include "platform/WorkerThread.h"

namespace orbisight {

// The ports of the LAN exchanges.
struct LanPorts {
    uint16_t setPort = 8628;  // "DeviceSetPort": searches and bind/unbind sets go there
    uint16_t getPort = 8629;  // "DeviceGetPort": answers arrive here (0: any, for tests)
    // The "3G" reply, and the sets of the wizard and the settings dialog,
    // always go to this port.
    uint16_t fixedSetPort = lan::kFixedSetPort;
};

// The windows that hear about LAN answers. Each registers itself while it is
// open; a notice goes only to a registered window.
enum class LanWindow {
    kDeviceTree,   // notice 13331
    kLocalSearch,  // notice 13330
    kSettings,     // WM_COMMAND 3000 for answers of cameras already listed
};

// The LAN listener: a thread ("lan/listen") that receives the cameras'
// answers on the get port into the LAN list and tells the windows.
//
// Notices carry an owned copy of the list record (Notice::object holds a
// CamNetParam); wParam 0 for a basic answer, 1 for an extended one. They
// are posted, not sent: a window that waits for the listener to stop must
// not be waited on by it. At most kMaxPendingNotices notices per window are
// in flight (posted, not yet handled and released); further ones are
// dropped and counted, the list itself is always up to date.
class LanListener {
  public:
    static constexpr uint32_t kSettingsRefreshCommand = 3000;
    static constexpr int kMaxPendingNotices = 256;
    // The receive wait, and so the longest Stop() takes to be noticed.
    static constexpr int kReceiveSliceMs = 100;

    explicit LanListener(LanPorts ports,
                         std::shared_ptr<LanDeviceList> list = std::make_shared<LanDeviceList>());
    ~LanListener();
    LanListener(const LanListener&) = delete;
    LanListener& operator=(const LanListener&) = delete;

    // Opens the listening socket, starts the thread and sends a search.
    // False when the port cannot be bound (the listener then does nothing).
    // Starting a running listener does nothing and returns true.
    bool Start();
    // Ends the thread; returns within about kReceiveSliceMs.
    void Stop();
    bool Running() const { return thread_.Running(); }
    // The port answers arrive on (the bound one when getPort is 0).
    uint16_t ListenPort() const { return listenPort_.load(); }

    // Empties the LAN list, then broadcasts a search to the set port.
    // Returns 0, or -1 when nothing could be sent.
    int StartLanSearch();
    // A search to the fixed set port that keeps the list (the settings
    // dialog after a set): the answers of cameras already listed bring
    // WM_COMMAND 3000 to the settings window.
    int SearchAgain();

    // Registers (or, with null, removes) the window of a kind.
    void SetTarget(LanWindow window, NoticeTarget* target);

    const std::shared_ptr<LanDeviceList>& List() const { return list_; }
    const LanPorts& Ports() const { return ports_; }

    // Counters for tests and diagnostics.
    uint64_t AnswersTaken() const { return answersTaken_.load(); }
    uint64_t DatagramsIgnored() const { return datagramsIgnored_.load(); }
    uint64_t NoticesDropped() const { return noticesDropped_.load(); }

    // Handles one received datagram as the thread does (tests feed it
    // directly). sender is the dotted address of the sender.
    void HandleDatagram(const void* data, size_t size, std::string_view sender);

  private:
    void Run(AutoResetEvent& stop, int socket);
    void Notify(LanWindow window, uint32_t message, uintptr_t wParam, const CamNetParam& record);

    const LanPorts ports_;
    const std::shared_ptr<LanDeviceList> list_;
    std::atomic<uint16_t> listenPort_{0};
    WorkerThread thread_;  // started and stopped by the owner's thread

    struct Slot {
        NoticeTarget* target = nullptr;
        std::shared_ptr<std::atomic<int>> pending = std::make_shared<std::atomic<int>>(0);
    };
    std::mutex targetsMutex_;  // held while posting, so a removed target is never used
    Slot slots_[3];            // protected by targetsMutex_

    std::atomic<uint64_t> answersTaken_{0};
    std::atomic<uint64_t> datagramsIgnored_{0};
    std::atomic<uint64_t> noticesDropped_{0};
};

}  // namespace orbisight
