#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "account/DeviceInfo.h"
#include "device/CHalvexProtocolAX.h"
#include "device/CommandAddress.h"
#include "device/DevInfoBlock.h"
#include "device/DevInfoExt.h"
#include "device/RequestQueue.h"
#include "device/SdFileList.h"
#include "platform/Notice.h"
#include "platform/Socket.h"
#include "platform/WorkerThread.h"

namespace orbisight {

// Both parameter blocks as they arrived, carried by notice 13364.
struct DeviceParameters {
    DevInfoBlock block;
    DevInfoExt ext;
};

// The command channel to one camera: a short-lived TCP connection opened by
// a window that reads or changes the camera's parameters, SD card records or
// RF sensors. It logs in with the camera's user name, password and ID, keeps
// the connection alive, reconnects after a failure (every 5 s) and turns the
// replies into notices posted to its owner.
//
// Notices posted to the owner (payloads are owned by the notice):
//   13364 both parameter blocks arrived: object = DeviceParameters, wParam
//         points at its `ext`, lParam 3; the blocks can also be read with
//         Parameters() / ExtendedParameters().
//   13365 the RF list arrived: text = the "RfidInfo" value.
//   13366 a reply carried "Ret" other than "1" (or a block was missing or
//         short, or a download could not be written): wParam = the mode,
//         text = the camera's "ErrorInfo" when it gave one.
//   13332 the SD file list was stored (FileList()): a day's list ("Type" 2)
//         or an hour folder's ("Type" 7).
//   13363 the SD download finished ("Type" 4).
//   13367 an SD reply of "Type" 5.
//   0x4411 the camera answered a set (3303, 3307, 3403): wParam the code,
//         lParam 1 taken, 0 refused (after the refusal's 13366).
//
// Threads: the owner's threads (requests from the window; Open and Close
// from a worker, or from the window when a short wait is acceptable), the
// receive thread "<name>/recv" (reads, dispatches, reconnects), the send
// thread "<name>/send" (sends the queued requests) and the keep-alive
// thread "<name>/alive". Requests never wait for the socket: they are
// queued (RequestQueue: 256 requests, a full queue refuses the newest, sent
// in the order asked, each only on the connection that was open when it
// was asked). Every send goes through SendAll, whose per-socket lock keeps
// whole messages from interleaving.
//
// Close may come from any thread while Open runs: it abandons the name
// resolution, connection or login in progress at once, and that Open
// returns 0 and leaves the channel closed.
class CXOMPDeviceOper {
  public:
    enum Mode : int { kModeSdRecords = 0, kModeParameters = 1, kModeRfSensors = 2 };

    // Results of the login step (and LastLoginResult()).
    static constexpr int kLoginOk = 1;
    static constexpr int kLoginNoConnection = 0;
    static constexpr int kLoginNoAnswer = 2;
    static constexpr int kLoginNoRecord = 4;

    static constexpr int kMaxBody = 327678;
    static constexpr size_t kReceiveBufferSize = 3110400;
    static constexpr size_t kParameterAreaSize = 2196;
    static constexpr int kDefaultPort = 5552;

    // The documented waits; tests shorten some of them.
    struct Timings {
        int connectTimeoutMs = 2000;
        int replyTimeoutMs = 60000;  // header and body reads
        int retryDelayMs = 5000;     // between a failure and the next login
        int keepAliveIntervalMs = 10000;
        int sendTimeoutMs = 1000;
        int threadStopWaitMs = 1400;
    };

    CXOMPDeviceOper();
    ~CXOMPDeviceOper();
    CXOMPDeviceOper(const CXOMPDeviceOper&) = delete;
    CXOMPDeviceOper& operator=(const CXOMPDeviceOper&) = delete;

    // Set before Open.
    void SetOwner(NoticeTarget* owner) { owner_ = owner; }
    void SetMode(int mode) { mode_ = mode; }
    void SetTimings(const Timings& timings) { timings_ = timings; }
    // Prefix of the thread names ("cmd" by default).
    void SetThreadName(std::string name) { threadName_ = std::move(name); }

    // Copies the record, connects to the first address and logs in, then
    // starts the receive and keep-alive threads whatever the login result
    // (a failed first attempt is retried by the receive thread). Returns 1
    // when a login reply arrived, else 0.
    int Open(const DeviceInfo& record);
    // Stops the threads (a thread blocked in a read is woken at once, a
    // name resolution is abandoned), closes the socket and any download
    // file and drops the requests not yet sent. Returns within the thread
    // stop wait, normally in a few ms.
    void Close();

    // Requests (message type 16). Each returns at once: true when the
    // request was queued for the open connection, false when no connection
    // is open, the channel is closing or the request queue is full. A
    // queued request that the send thread cannot send whole is lost with
    // its connection (the receive thread logs in again).
    bool RequestSdDirList();
    // start and end ("HHMMSS") are sent only when not empty.
    bool RequestSdFileList(std::string_view dir, std::string_view start, std::string_view end);
    bool RequestSdDownload(std::string_view file);
    bool RequestSdHourDir(std::string_view name);
    bool RequestParameters();
    bool SetParameters(const DevInfoBlock& block);
    bool RequestExtendedParameters();
    bool SetExtendedParameters(const DevInfoExt& ext);
    bool RequestRfList();
    bool SetRfList(std::string_view list);

    // Opens localPath for writing (created anew), remembers file as the file
    // being downloaded and sends RequestSdDownload. Chunks are appended as
    // they arrive; the file is closed on the "Type" 4 reply (notice 13363).
    // False when the file cannot be opened or the request not sent.
    bool BeginSdDownload(const std::filesystem::path& localPath, std::string_view file);
    // Closes the download file (the page does this when it goes away).
    void AbortSdDownload();

    // State, safe to read from any thread.
    bool LoggedIn() const { return loggedIn_; }
    // True after a login reply with "Ret" other than "1", until a login
    // reply with "Ret" "1".
    bool LoginRefused() const { return loginRefused_; }
    int LastLoginResult() const { return lastLoginResult_; }
    const CommandAddress& Address() const { return address_; }
    int Mode() const { return mode_; }

    // What the receive thread stored; read after the notice that announces it.
    std::array<uint8_t, kParameterAreaSize> ParameterArea() const;
    DevInfoBlock Parameters() const;
    DevInfoExt ExtendedParameters() const;
    std::vector<struFileItem> DirList() const;
    std::vector<struFileItem> FileList() const;
    bool Downloading() const;
    std::string DownloadName() const;

  private:
    struct FileCloser {
        void operator()(FILE* file) const { std::fclose(file); }
    };

    int LoginStep();
    bool ReceiveAndHandle(int socket);
    void HandleReply(const CHalvexProtocolAX& message);
    void HandleSdReply(const CHalvexProtocolAX& message);
    void SendModeRequest();
    void PostSetAnswer(const CHalvexProtocolAX& message, bool accepted);
    bool Send(CHalvexProtocolAX& message);
    // Send, but only while `connection` is still the open connection.
    bool SendOn(uint64_t connection, CHalvexProtocolAX& message);
    bool SendRequest(std::unique_ptr<CHalvexProtocolAX> message);
    static std::unique_ptr<CHalvexProtocolAX> NewRequest();
    // Signals every thread and wakes every blocking call; waits for nothing.
    void SignalStop();
    // Close's work once no Open runs: joins the threads, frees the rest.
    void StopAndRelease();
    bool SendGetRequest(int command);
    void CloseCurrentSocket();
    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam, std::string text = {},
              std::shared_ptr<void> object = nullptr);
    void ReceiveLoop(AutoResetEvent& stop);
    void KeepAliveLoop(AutoResetEvent& stop);
    void SendLoop(AutoResetEvent& stop);

    NoticeTarget* owner_ = nullptr;  // set before Open
    int mode_ = kModeParameters;     // set before Open
    Timings timings_;                // set before Open
    std::string threadName_ = "cmd";
    std::unique_ptr<DeviceInfo> record_;  // owned copy; set by Open, freed by Close
    CommandAddress address_;              // set by Open

    // Serialises Open and Close.
    std::mutex lifecycleMutex_;
    // Orders Close's stop signal against Open clearing the stop flag and
    // starting the threads, so a Close is never undone by an Open.
    std::mutex stopMutex_;
    uint64_t closeRequests_ = 0;  // protected by stopMutex_

    // Senders share it while they send (and Close while it shuts the socket
    // down); the login step replaces the socket under it exclusively, so a
    // message never goes to a descriptor that was closed and reused.
    mutable std::shared_mutex socketMutex_;
    int socket_ = kNoSocket;       // protected by socketMutex_; replaced only by the login step
    uint64_t lastConnection_ = 0;  // protected by socketMutex_
    std::atomic<uint64_t> connection_{0};  // the open connection's number, 0: none
    // A dialog's requests are few and each matters (a parameter block to
    // set); the bound only bites when the camera stops reading.
    static constexpr size_t kRequestCapacity = 256;
    RequestQueue requests_{kRequestCapacity};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> loggedIn_{false};
    std::atomic<bool> loginRefused_{false};
    std::atomic<int> lastLoginResult_{kLoginNoConnection};

    // Used by one thread at a time: Open's login step, then the receive thread.
    std::vector<uint8_t> receiveBuffer_;

    mutable std::mutex dataMutex_;
    std::array<uint8_t, kParameterAreaSize> parameterArea_{};  // protected by dataMutex_
    DevInfoExt extended_{};                                    // protected by dataMutex_
    std::vector<struFileItem> dirList_;                        // protected by dataMutex_
    std::vector<struFileItem> fileList_;                       // protected by dataMutex_

    mutable std::mutex downloadMutex_;
    std::unique_ptr<FILE, FileCloser> downloadFile_;  // protected by downloadMutex_
    std::string downloadName_;                        // protected by downloadMutex_
    bool downloadFailed_ = false;                     // protected by downloadMutex_

    WorkerThread receiveThread_;
    WorkerThread keepAliveThread_;
    WorkerThread sendThread_;
};

}  // namespace orbisight
