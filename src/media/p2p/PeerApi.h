#pragma once

#include <atomic>
#include <cstdint>

// The session (IOTC_*) and media (av*) calls of the client's peer-to-peer
// layer. A process has one of each: the calls work on the process's
// PeerClient (one UDP socket, one receiving thread). Results: 0 or a
// non-negative id/count on success, a negative kPeerError* value on
// failure. Every call that waits has a bound and, where it may wait long,
// an optional cancel flag that ends it within about 50 ms.

namespace orbisight::p2p {

constexpr int kPeerErrorNotInitialised = -1;
constexpr int kPeerErrorNoRendezvous = -2;  // no address for the rendezvous service
constexpr int kPeerErrorUnknownId = -3;     // nobody registered the identifier
constexpr int kPeerErrorTimeout = -4;
constexpr int kPeerErrorCancelled = -5;
constexpr int kPeerErrorInvalidArgument = -6;
constexpr int kPeerErrorSessionClosed = -7;  // closed here, by the peer, or lost
constexpr int kPeerErrorNotReady = -8;       // nothing waiting (frames, controls)
constexpr int kPeerErrorBufferTooSmall = -9;
constexpr int kPeerErrorLoginRefused = -10;
constexpr int kPeerErrorNoChannel = -11;  // all AV channels in use
constexpr int kPeerErrorRefused = -12;    // the rendezvous refused the session

// What IOTC_Session_Check reports.
struct PeerSessionInfo {
    int mode = 0;  // 2: relayed (the only mode)
    char remoteAddress[16] = {};
    uint16_t remotePort = 0;
    uint32_t relaySession = 0;
};

}  // namespace orbisight::p2p

// udpPort: the local port (0: any). The rendezvous service is the first of
// the two addresses that parses as "a.b.c.d" or "a.b.c.d:port"; failing
// both, the first host name ("name" or "name:port") that resolves. The
// default port is 5570. 0 when initialised (also when it already was).
int IOTC_Initialize(int udpPort, const char* address1, const char* address2, const char* host1,
                    const char* host2);
// 0; frees nothing the process still uses. maxChannels: 1 to 128.
int avInitialize(int maxChannels);
// Opens a session to the camera registered as `id` (at most 63 bytes):
// the session id (> 0). Waits up to 10 s.
int IOTC_Connect_ByUID(const char* id, const std::atomic<bool>* cancel = nullptr);
int IOTC_Session_Check(int session, orbisight::p2p::PeerSessionInfo* info);
// Logs in on the session's IOTC channel: the AV channel index (>= 0).
int avClientStart2(int session, const char* account, const char* password, unsigned timeoutSec,
                   unsigned* serviceType, unsigned char iotcChannel, int* resend,
                   const std::atomic<bool>* cancel = nullptr);
// Sends one control message (payload at most 1024 bytes): 0 when sent.
int avSendIOCtrl(int avIndex, unsigned type, const char* payload, int size);
// Takes the oldest control message, waiting up to timeoutMs: its payload
// size (the payload cut to `size`), or kPeerErrorNotReady.
int avRecvIOCtrl(int avIndex, unsigned* type, char* buffer, int size, unsigned timeoutMs);
// Takes the oldest video frame (waits up to 200 ms while the session
// lives): the bytes received.
// *actualSize = bytes copied, *expectedSize = the frame's announced size
// (more than the result for an incomplete frame); the information is
// copied up to infoSize bytes (*infoActual).
int avRecvFrameData2(int avIndex, char* buffer, int size, int* actualSize, int* expectedSize,
                     char* info, int infoSize, int* infoActual, unsigned* frameIndex);
// Audio frames waiting.
int avCheckAudioBuf(int avIndex);
// Takes the oldest audio frame: the bytes received.
int avRecvAudioData(int avIndex, char* buffer, int size, char* info, int infoSize,
                    unsigned* frameIndex);
void avClientStop(int avIndex);
int IOTC_Session_Close(int session);
