#include "media/p2p/PeerApi.h"

#include "media/p2p/PeerClient.h"

using orbisight::p2p::PeerClient;

int IOTC_Initialize(int udpPort, const char* address1, const char* address2, const char* host1,
                    const char* host2) {
    return PeerClient::Instance().Initialize(udpPort, address1, address2, host1, host2);
}

int avInitialize(int maxChannels) {
    return PeerClient::Instance().InitializeAv(maxChannels);
}

int IOTC_Connect_ByUID(const char* id, const std::atomic<bool>* cancel) {
    return PeerClient::Instance().Connect(id, cancel);
}

int IOTC_Session_Check(int session, orbisight::p2p::PeerSessionInfo* info) {
    return PeerClient::Instance().CheckSession(session, info);
}

int avClientStart2(int session, const char* account, const char* password, unsigned timeoutSec,
                   unsigned* serviceType, unsigned char iotcChannel, int* resend,
                   const std::atomic<bool>* cancel) {
    return PeerClient::Instance().ClientStart(session, account, password, timeoutSec, serviceType,
                                              iotcChannel, resend, cancel);
}

int avSendIOCtrl(int avIndex, unsigned type, const char* payload, int size) {
    return PeerClient::Instance().SendIoctrl(avIndex, type, payload, size);
}

int avRecvIOCtrl(int avIndex, unsigned* type, char* buffer, int size, unsigned timeoutMs) {
    return PeerClient::Instance().RecvIoctrl(avIndex, type, buffer, size, timeoutMs);
}

int avRecvFrameData2(int avIndex, char* buffer, int size, int* actualSize, int* expectedSize,
                     char* info, int infoSize, int* infoActual, unsigned* frameIndex) {
    return PeerClient::Instance().RecvFrame(avIndex, buffer, size, actualSize, expectedSize, info,
                                            infoSize, infoActual, frameIndex);
}

int avCheckAudioBuf(int avIndex) {
    return PeerClient::Instance().CheckAudio(avIndex);
}

int avRecvAudioData(int avIndex, char* buffer, int size, char* info, int infoSize,
                    unsigned* frameIndex) {
    return PeerClient::Instance().RecvAudio(avIndex, buffer, size, info, infoSize, frameIndex);
}

void avClientStop(int avIndex) {
    PeerClient::Instance().ClientStop(avIndex);
}

int IOTC_Session_Close(int session) {
    return PeerClient::Instance().CloseSession(session);
}
