#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "device/CHalvexProtocolAX.h"

namespace orbisight {

// The requests a channel's callers hand to its sender thread, so that a
// caller (the window) never waits for the socket. Each request is tagged
// with the connection it was asked on; the sender sends it on that
// connection only, so a request never reaches a later connection (before
// its login, say) and requests asked while nothing is connected are not
// queued at all.
//
// Capacity: a fixed number of requests per queue (kDefaultCapacity unless
// the owner says otherwise), sent in the order they were queued. Drop rule:
// a full queue refuses the newest request (Push returns false and the
// request is dropped); what was accepted keeps its order and is never pushed
// out by later requests.
class RequestQueue {
  public:
    static constexpr size_t kDefaultCapacity = 32;

    struct Request {
        std::unique_ptr<CHalvexProtocolAX> message;
        uint64_t connection = 0;
    };

    explicit RequestQueue(size_t capacity = kDefaultCapacity) : capacity_(capacity) {}
    RequestQueue(const RequestQueue&) = delete;
    RequestQueue& operator=(const RequestQueue&) = delete;

    // Appends the request when fewer than Capacity() are queued; never
    // waits for anything but the queue's own lock.
    bool Push(std::unique_ptr<CHalvexProtocolAX> message, uint64_t connection);

    // Takes the oldest request. False when none is queued.
    bool Pop(Request& request);

    // Waits up to timeoutMs until a request is queued or Wake() is called.
    // Returns true when a request is queued.
    bool WaitForRequest(int timeoutMs);
    void Wake();

    // Drops every queued request; returns how many.
    size_t Clear();
    size_t Size() const;
    size_t Capacity() const { return capacity_; }
    uint64_t Refused() const;  // requests refused by a full queue

  private:
    const size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Request> requests_;  // protected by mutex_
    bool wake_ = false;             // protected by mutex_
    uint64_t refused_ = 0;          // protected by mutex_
};

}  // namespace orbisight
