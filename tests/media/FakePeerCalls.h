#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "media/PeerCalls.h"
#include "media/p2p/PeerApi.h"
#include "media/p2p/PeerFrameInfo.h"

namespace orbisight::test {

// A scripted peer-to-peer layer: connects (or not) as told, hands out the
// receive results queued by the test (then "nothing ready"), records every
// control message sent and answers control reads from a queue.
class FakePeerCalls : public PeerCalls {
  public:
    struct Sent {
        unsigned type = 0;
        std::vector<uint8_t> payload;
    };
    // One scripted result of RecvFrame: an error, or a frame.
    struct Receive {
        int error = 0;  // < 0: returned as is
        p2p::AvFrameInfo info;
        std::vector<uint8_t> data;  // what "arrived" (shorter than info.frameSize: incomplete)
    };

    static Receive Frame(bool key, uint32_t size, uint8_t rate = 20, uint8_t reserve2 = 0,
                         uint32_t timeStamp = 1000) {
        Receive r;
        r.info.codec = p2p::kCodecH264;
        r.info.flags = key ? 1 : 0;
        r.info.reserve0 = rate;
        r.info.reserve2 = reserve2;
        r.info.frameSize = size;
        r.info.timeStamp = timeStamp;
        r.data.assign(size, 0x42);
        return r;
    }
    static Receive Error(int code = p2p::kPeerErrorNotReady) {
        Receive r;
        r.error = code;
        return r;
    }

    int connectResult = 7;
    int clientStartResult = 3;
    int sendResult = 0;
    // Connect waits until cancelled (a rendezvous service that never answers).
    std::atomic<bool> connectBlocks{false};
    // Once the script is used up: small non-key frames (a live session)
    // instead of "nothing ready".
    std::atomic<bool> idleFrames{false};
    // While set, nothing is ready (the script waits).
    std::atomic<bool> hold{false};

    void Push(Receive r) {
        std::lock_guard lock(mutex_);
        receives_.push_back(std::move(r));
    }
    void PushReply(unsigned type, std::vector<uint8_t> payload) {
        std::lock_guard lock(mutex_);
        replies_.push_back({type, std::move(payload)});
        changed_.notify_all();
    }
    std::vector<Sent> SentControls() {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    std::optional<Sent> WaitSent(unsigned type, int timeoutMs) {
        std::unique_lock lock(mutex_);
        std::optional<Sent> found;
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const Sent& s : sent_) {
                if (s.type == type) {
                    found = s;
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    size_t RepliesPending() {
        std::lock_guard lock(mutex_);
        return replies_.size();
    }
    size_t Pending() {
        std::lock_guard lock(mutex_);
        return receives_.size();
    }

    std::atomic<int> connects{0};
    std::atomic<int> clientStops{0};
    std::atomic<int> sessionCloses{0};
    std::atomic<bool> sawCancel{false};

    int Initialize(const std::string&, int) override { return 0; }
    int InitializeAv(int) override { return 0; }
    int Connect(const char*, const std::atomic<bool>* cancel) override {
        connects.fetch_add(1);
        while (connectBlocks) {
            if (cancel != nullptr && cancel->load()) {
                sawCancel.store(true);
                return p2p::kPeerErrorCancelled;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return connectResult;
    }
    int CheckSession(int) override { return 0; }
    int ClientStart(int session, const char*, const char*, unsigned, unsigned char,
                    const std::atomic<bool>*) override {
        return session < 0 ? session : clientStartResult;
    }
    int SendIoctrl(int, unsigned type, const char* payload, int size) override {
        std::lock_guard lock(mutex_);
        if (sendResult < 0) {
            return sendResult;
        }
        sent_.push_back({type, std::vector<uint8_t>(payload, payload + size)});
        changed_.notify_all();
        return 0;
    }
    int RecvIoctrl(int, unsigned* type, char* buffer, int size, unsigned timeoutMs) override {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return !replies_.empty(); })) {
            return p2p::kPeerErrorNotReady;
        }
        Sent reply = replies_.front();
        replies_.pop_front();
        *type = reply.type;
        int n = std::min<int>(size, static_cast<int>(reply.payload.size()));
        std::memcpy(buffer, reply.payload.data(), static_cast<size_t>(n));
        return n;
    }
    int RecvFrame(int, char* buffer, int size, int* actual, int* expected, char* info, int, int*,
                  unsigned*) override {
        Receive r;
        {
            std::lock_guard lock(mutex_);
            if (hold.load()) {
                r = Error();
            } else if (receives_.empty() && idleFrames.load()) {
                r = Frame(false, 8);
            } else if (receives_.empty()) {
                r = Error();
            } else {
                r = std::move(receives_.front());
                receives_.pop_front();
            }
        }
        if (r.error < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return r.error;
        }
        int n = std::min<int>(size, static_cast<int>(r.data.size()));
        std::memcpy(buffer, r.data.data(), static_cast<size_t>(n));
        *actual = n;
        *expected = static_cast<int>(r.info.frameSize);
        r.info.Write(reinterpret_cast<uint8_t*>(info));
        return n;
    }
    int CheckAudio(int) override { return 0; }
    int RecvAudio(int, char*, int, char*, int, unsigned*) override {
        return p2p::kPeerErrorNotReady;
    }
    void ClientStop(int) override { clientStops.fetch_add(1); }
    void CloseSession(int) override { sessionCloses.fetch_add(1); }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Receive> receives_;
    std::deque<Sent> replies_;
    std::vector<Sent> sent_;
};

}  // namespace orbisight::test
