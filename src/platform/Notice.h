#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orbisight {

// The message numbers that travel between the engine and the windows. The
// values are fixed: windows and tests compare against them.
namespace notice {
constexpr uint32_t kCommand = 273;                 // WM_COMMAND
constexpr uint32_t kChannelStateCommand = 0x4000;  // wParam of the live channel's state
constexpr uint32_t kLanDeviceFound = 13330;
constexpr uint32_t kLanDeviceChanged = 13331;
constexpr uint32_t kSdFileList = 13332;
constexpr uint32_t kSdDownloadDone = 13363;
constexpr uint32_t kParameters = 13364;
constexpr uint32_t kRfList = 13365;
constexpr uint32_t kReplyFailed = 13366;
constexpr uint32_t kSdType5 = 13367;
constexpr uint32_t kPlayFile = 17409;   // 0x4401
constexpr uint32_t kPlayFile2 = 17410;  // 0x4402
// A recording stopped, or a snapshot was not saved, because its file could
// not be created or written. wParam 0 recording, 1 snapshot; text "cannot
// write <path>: <reason>".
constexpr uint32_t kMediaFileFailed = 0x4410;
// The camera answered a set of the command channel (parameters, extended
// parameters, RF list): wParam the reply's "Command_Param" (3303, 3307,
// 3403), lParam 1 when it took the set ("Ret" "1"), 0 when it refused it
// (a refusal also brings 13366, posted before this one).
constexpr uint32_t kSetAnswered = 0x4411;
// Registered messages get fixed numbers in the range Windows reserves for them.
constexpr uint32_t kAccountSession = 0xC101;  // "HALVEX_XOMPWORKER_PC20110907094249"
constexpr uint32_t kNewVersion = 0xC102;      // "FoundMyVelaExpertNewVersion20121213160030"
constexpr uint32_t kCloudQuery = 0xC103;      // "MYVELALOUDE_20140927163540"
}  // namespace notice

// Maps a registered message name to its fixed number, or 0 for an unknown name.
uint32_t RegisteredMessage(const std::string& name);

// A message from a worker thread to a window. Payloads are owned by the
// notice: a text (for example the RF list copy) or any shared object.
struct Notice {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    std::string text;
    std::shared_ptr<void> object;
};

// Anything that receives notices: a window on the GUI side, a queue in a test
// or in the command-line tool.
class NoticeTarget {
  public:
    virtual ~NoticeTarget() = default;
    // Queues the notice and returns at once. Called from any thread.
    virtual void Post(Notice notice) = 0;
    // Delivers the notice and returns after the target has handled it. The
    // default posts: targets that run on their own thread override it.
    virtual void Send(Notice notice) { Post(std::move(notice)); }
};

// A thread-safe notice queue: the target of the command-line tool and the
// tests. Bounded: when full the oldest notice is dropped (and counted).
class NoticeQueue : public NoticeTarget {
  public:
    explicit NoticeQueue(size_t capacity = 4096) : capacity_(capacity) {}

    void Post(Notice notice) override;

    // Waits up to timeoutMs for a notice. Returns false on time-out.
    bool Wait(Notice& out, int timeoutMs);
    // Waits up to timeoutMs for a notice with the given message number; other
    // notices received meanwhile are kept in order for later calls.
    bool WaitFor(uint32_t message, Notice& out, int timeoutMs);
    std::vector<Notice> Drain();
    size_t Dropped() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Notice> queue_;  // protected by mutex_
    size_t capacity_;
    size_t dropped_ = 0;  // protected by mutex_
};

}  // namespace orbisight
