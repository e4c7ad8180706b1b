#pragma once

#include <atomic>
#include <string>

namespace orbisight {

// The peer-to-peer calls a live channel makes, so that the channel's
// threads can run against the process's peer-to-peer layer or a stand-in.
// Results as the IOTC/AV calls of media/p2p/PeerApi.h.
class PeerCalls {
  public:
    virtual ~PeerCalls() = default;
    // Once per process (the caller keeps track); 0 when initialised.
    virtual int Initialize(const std::string& rendezvousHost, int rendezvousPort) = 0;
    virtual int InitializeAv(int maxChannels) = 0;
    virtual int Connect(const char* id, const std::atomic<bool>* cancel) = 0;
    virtual int CheckSession(int session) = 0;
    virtual int ClientStart(int session, const char* account, const char* password,
                            unsigned timeoutSec, unsigned char iotcChannel,
                            const std::atomic<bool>* cancel) = 0;
    virtual int SendIoctrl(int avIndex, unsigned type, const char* payload, int size) = 0;
    virtual int RecvIoctrl(int avIndex, unsigned* type, char* buffer, int size,
                           unsigned timeoutMs) = 0;
    virtual int RecvFrame(int avIndex, char* buffer, int size, int* actualSize, int* expectedSize,
                          char* info, int infoSize, int* infoActual, unsigned* frameIndex) = 0;
    virtual int CheckAudio(int avIndex) = 0;
    virtual int RecvAudio(int avIndex, char* buffer, int size, char* info, int infoSize,
                          unsigned* frameIndex) = 0;
    virtual void ClientStop(int avIndex) = 0;
    virtual void CloseSession(int session) = 0;
};

// The process's peer-to-peer layer.
PeerCalls& LibraryPeerCalls();

}  // namespace orbisight
