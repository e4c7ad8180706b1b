#include "media/PeerCalls.h"

#include "media/p2p/PeerApi.h"

namespace orbisight {
namespace {

class Library : public PeerCalls {
  public:
    int Initialize(const std::string& host, int port) override {
        std::string endpoint = host + ":" + std::to_string(port);
        // The address forms come first; a host name is resolved only when
        // the setting is not an address.
        return IOTC_Initialize(0, endpoint.c_str(), endpoint.c_str(), endpoint.c_str(),
                               endpoint.c_str());
    }
    int InitializeAv(int maxChannels) override { return avInitialize(maxChannels); }
    int Connect(const char* id, const std::atomic<bool>* cancel) override {
        return IOTC_Connect_ByUID(id, cancel);
    }
    int CheckSession(int session) override {
        p2p::PeerSessionInfo info;
        return IOTC_Session_Check(session, &info);
    }
    int ClientStart(int session, const char* account, const char* password, unsigned timeoutSec,
                    unsigned char iotcChannel, const std::atomic<bool>* cancel) override {
        unsigned serviceType = 0;
        int resend = 0;
        return avClientStart2(session, account, password, timeoutSec, &serviceType, iotcChannel,
                              &resend, cancel);
    }
    int SendIoctrl(int avIndex, unsigned type, const char* payload, int size) override {
        return avSendIOCtrl(avIndex, type, payload, size);
    }
    int RecvIoctrl(int avIndex, unsigned* type, char* buffer, int size,
                   unsigned timeoutMs) override {
        return avRecvIOCtrl(avIndex, type, buffer, size, timeoutMs);
    }
    int RecvFrame(int avIndex, char* buffer, int size, int* actualSize, int* expectedSize,
                  char* info, int infoSize, int* infoActual, unsigned* frameIndex) override {
        return avRecvFrameData2(avIndex, buffer, size, actualSize, expectedSize, info, infoSize,
                                infoActual, frameIndex);
    }
    int CheckAudio(int avIndex) override { return avCheckAudioBuf(avIndex); }
    int RecvAudio(int avIndex, char* buffer, int size, char* info, int infoSize,
                  unsigned* frameIndex) override {
        return avRecvAudioData(avIndex, buffer, size, info, infoSize, frameIndex);
    }
    void ClientStop(int avIndex) override { avClientStop(avIndex); }
    void CloseSession(int session) override { IOTC_Session_Close(session); }
};

}  // namespace

PeerCalls& LibraryPeerCalls() {
    static Library library;
    return library;
}

}  // namespace orbisight
