#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "ChannelTestSupport.h"
#include "ScriptedPeer.h"

namespace orbisight {
namespace {

using namespace orbisight::testing;

constexpr const char* kId = "ORBI00000009";

// A text written on the peer's thread and read by the test.
class SharedText {
  public:
    void Set(std::string text) {
        std::lock_guard lock(mutex_);
        text_ = std::move(text);
    }
    std::string Get() const {
        std::lock_guard lock(mutex_);
        return text_;
    }

  private:
    mutable std::mutex mutex_;
    std::string text_;  // protected by mutex_
};

// The peer's side of one connection.
class PeerIo {
  public:
    explicit PeerIo(int socket) : socket_(socket) {}
    bool Read(CHalvexProtocolAX& message, int timeoutMs = 2000) {
        return ReceiveMessage(socket_, timeoutMs, timeoutMs, 1 << 20, buffer_.data(),
                              buffer_.size(), message) == ReceiveResult::kOk;
    }
    // The exact bytes of the next message.
    std::string ReadWire(int timeoutMs = 2000) {
        char header[14];
        if (ReceiveExact(timeoutMs, socket_, 14, header) != 14) {
            return {};
        }
        int length = 0;
        ParseHexDigits(reinterpret_cast<uint8_t*>(header) + 8, 6, length);
        std::string wire(header, 14);
        std::string body(static_cast<size_t>(length), '\0');
        if (length > 0 && ReceiveExact(timeoutMs, socket_, length, body.data()) != length) {
            return {};
        }
        return wire + body;
    }
    void Send(CHalvexProtocolAX& message) { SendMessage(socket_, message); }
    void SendRaw(const std::string& bytes) {
        SendAll(1000, static_cast<int>(bytes.size()), socket_, bytes.data());
    }
    // A type 17 reply with "Ret" ok and "Command_Param" code.
    static void StartReply(CHalvexProtocolAX& message, int code, const char* ret = "1") {
        message.SetType(msgtype::kReply);
        message.AddField("Ret", ret);
        message.AddNumberField("Command_Param", code);
    }
    void AcceptLogin() {
        CHalvexProtocolAX login;
        Read(login);
        CHalvexProtocolAX reply;
        reply.SetType(msgtype::kLoginReply);
        reply.AddField("Ret", "1");
        Send(reply);
    }

  private:
    int socket_;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(1 << 21);
};

class DeviceChannelEdgeTest : public ::testing::Test {
  protected:
    int Open(ScriptedPeer& peer, int mode) {
        channel_.SetOwner(&notices_);
        channel_.SetTimings(FastTimings());
        channel_.SetMode(mode);
        return channel_.Open(*CameraRecord(peer.Port(), kId, "pw", "user"));
    }
    NoticeQueue notices_;
    CXOMPDeviceOper channel_;
};

TEST_F(DeviceChannelEdgeTest, LoginAndFirstRequestAreTheDocumentedBytes) {
    SharedText login;
    SharedText request;
    SharedText keepAlive;
    ScriptedPeer peer([&](int socket, int) {
        PeerIo io(socket);
        login.Set(io.ReadWire());
        CHalvexProtocolAX reply;
        reply.SetType(msgtype::kLoginReply);
        reply.AddField("Ret", "1");
        io.Send(reply);
        request.Set(io.ReadWire());
        keepAlive.Set(io.ReadWire());
    });
    auto timings = FastTimings();
    timings.keepAliveIntervalMs = 100;
    channel_.SetTimings(timings);
    channel_.SetMode(CXOMPDeviceOper::kModeParameters);
    ASSERT_EQ(channel_.Open(*CameraRecord(peer.Port(), kId, "pw", "user")), 1);
    SleepMs(300);
    channel_.Close();
    EXPECT_EQ(login.Get(),
              "01002001000046"
              "08000004UserNameuser"
              "08000002Passwordpw"
              "0C00000CDeviceSerial" +
                  std::string(kId));
    EXPECT_EQ(request.Get(),
              "01000010000026"
              "0D000004Command_Param3300"
              "04000001Wait1");
    EXPECT_EQ(keepAlive.Get(), "01002003000000");
}

TEST_F(DeviceChannelEdgeTest, TheParameterNoticeWaitsForTheExtendedBlock) {
    std::atomic<bool> sendExtended{false};
    SharedText secondRequest;
    ScriptedPeer peer([&](int socket, int) {
        PeerIo io(socket);
        io.AcceptLogin();
        CHalvexProtocolAX request;
        io.Read(request);
        CHalvexProtocolAX reply;
        PeerIo::StartReply(reply, 3301);
        DevInfoBlock block{};
        block.SetDeviceName("scripted");
        reply.AddField("DevInfo", &block, 7, sizeof block);
        io.Send(reply);
        secondRequest.Set(io.ReadWire());
        while (!sendExtended) {
            SleepMs(5);
        }
        CHalvexProtocolAX extended;
        PeerIo::StartReply(extended, 3305);
        DevInfoExt ext{};
        ext.SetApn("apn");
        extended.AddField("DevInfo", &ext, 7, sizeof ext);
        io.Send(extended);
        io.ReadWire(3000);
    });
    ASSERT_EQ(Open(peer, CXOMPDeviceOper::kModeParameters), 1);
    Notice notice;
    EXPECT_FALSE(notices_.Wait(notice, 300));
    EXPECT_EQ(secondRequest.Get(),
              "01000010000026"
              "0D000004Command_Param3304"
              "04000001Wait1");
    sendExtended = true;
    ASSERT_TRUE(notices_.WaitFor(notice::kParameters, notice, 2000));
    EXPECT_EQ(channel_.Parameters().DeviceName(), "scripted");
    EXPECT_EQ(channel_.ExtendedParameters().Apn(), "apn");
}

TEST_F(DeviceChannelEdgeTest, AShortParameterBlockIsRefusedNotHalfCopied) {
    ScriptedPeer peer([&](int socket, int) {
        PeerIo io(socket);
        io.AcceptLogin();
        CHalvexProtocolAX request;
        io.Read(request);
        CHalvexProtocolAX reply;
        PeerIo::StartReply(reply, 3301);
        reply.AddField("DevInfo", "only a few bytes");
        io.Send(reply);
        io.ReadWire(3000);
    });
    ASSERT_EQ(Open(peer, CXOMPDeviceOper::kModeParameters), 1);
    Notice notice;
    ASSERT_TRUE(notices_.WaitFor(notice::kReplyFailed, notice, 2000));
    EXPECT_EQ(notice.wParam, 1u);
    EXPECT_EQ(channel_.Parameters().DeviceName(), "");
}

TEST_F(DeviceChannelEdgeTest, SdRepliesByTypeAndStrayChunksAreDropped) {
    TempFolder folder;
    std::atomic<bool> requested{false};
    ScriptedPeer peer([&](int socket, int) {
        PeerIo io(socket);
        io.AcceptLogin();
        CHalvexProtocolAX request;
        io.Read(request);  // the directory list asked for by the login reply
        auto chunk = [&](const char* name, const char* data) {
            CHalvexProtocolAX reply;
            PeerIo::StartReply(reply, 3101);
            reply.AddNumberField("Type", 3);
            reply.AddField("FileName", name);
            reply.AddField("FileData", data);
            io.Send(reply);
        };
        auto typeOnly = [&](int type) {
            CHalvexProtocolAX reply;
            PeerIo::StartReply(reply, 3101);
            reply.AddNumberField("Type", type);
            io.Send(reply);
        };
        chunk("a.264", "before the download was asked for;");
        io.Read(request);  // the download request
        requested = true;
        chunk("A.264", "first;");             // names compare ignoring case
        chunk("other.264", "not this one;");  // another file: dropped
        chunk("a.264", "second");
        typeOnly(4);
        typeOnly(5);
        typeOnly(7);
        chunk("a.264", "after the end");
        typeOnly(2);  // a file list without "FileList": an empty list
        io.ReadWire(3000);
    });
    ASSERT_EQ(Open(peer, CXOMPDeviceOper::kModeSdRecords), 1);
    auto path = folder.Path() / "a.264";
    SleepMs(100);
    ASSERT_TRUE(channel_.BeginSdDownload(path, "a.264"));
    Notice notice;
    ASSERT_TRUE(notices_.Wait(notice, 2000));
    EXPECT_EQ(notice.message, notice::kSdDownloadDone);
    ASSERT_TRUE(notices_.Wait(notice, 2000));
    EXPECT_EQ(notice.message, notice::kSdType5);
    // An hour folder's answer is a file list, never a finished download.
    ASSERT_TRUE(notices_.Wait(notice, 2000));
    EXPECT_EQ(notice.message, notice::kSdFileList);
    ASSERT_TRUE(notices_.Wait(notice, 2000));
    EXPECT_EQ(notice.message, notice::kSdFileList);
    EXPECT_TRUE(channel_.FileList().empty());
    auto bytes = ReadFile(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "first;second");
}

TEST_F(DeviceChannelEdgeTest, RepliesWithoutRetOrOfOtherTypesAreIgnored) {
    ScriptedPeer peer([&](int socket, int) {
        PeerIo io(socket);
        io.AcceptLogin();
        CHalvexProtocolAX request;
        io.Read(request);
        CHalvexProtocolAX noRet;
        noRet.SetType(msgtype::kReply);
        noRet.AddNumberField("Command_Param", 3401);
        noRet.AddField("RfidInfo", "MYVELARFID:1;####");
        io.Send(noRet);
        CHalvexProtocolAX media;
        media.SetType(msgtype::kMedia);
        media.AddField("Ret", "1");
        media.AddNumberField("Command_Param", 3401);
        io.Send(media);
        CHalvexProtocolAX unknown;
        PeerIo::StartReply(unknown, 9999);
        io.Send(unknown);
        CHalvexProtocolAX real;
        PeerIo::StartReply(real, 3401);
        real.AddField("RfidInfo", "MYVELARFID:0101;####");
        io.Send(real);
        io.ReadWire(3000);
    });
    ASSERT_EQ(Open(peer, CXOMPDeviceOper::kModeRfSensors), 1);
    Notice notice;
    ASSERT_TRUE(notices_.Wait(notice, 2000));
    EXPECT_EQ(notice.message, notice::kRfList);
    EXPECT_EQ(notice.text, "MYVELARFID:0101;####");
    EXPECT_FALSE(notices_.Wait(notice, 100));
}

TEST_F(DeviceChannelEdgeTest, AnOverlongReplyDropsTheConnectionAndTheChannelLogsInAgain) {
    ScriptedPeer peer([&](int socket, int index) {
        PeerIo io(socket);
        io.AcceptLogin();
        CHalvexProtocolAX request;
        io.Read(request);
        if (index == 0) {
            io.SendRaw("0100001104FFFF");  // 327679 bytes: one above the limit
            io.ReadWire(1000);
            return;
        }
        CHalvexProtocolAX reply;
        PeerIo::StartReply(reply, 3401);
        reply.AddField("RfidInfo", "MYVELARFID:0101;####");
        io.Send(reply);
        io.ReadWire(3000);
    });
    ASSERT_EQ(Open(peer, CXOMPDeviceOper::kModeRfSensors), 1);
    Notice notice;
    ASSERT_TRUE(notices_.WaitFor(notice::kRfList, notice, 3000));
    EXPECT_EQ(peer.Connections(), 2);
}

TEST_F(DeviceChannelEdgeTest, ALoginReplyThatNeverComesCountsAsNoAnswer) {
    ScriptedPeer peer([&](int socket, int) {
        PeerIo io(socket);
        io.ReadWire();
        io.ReadWire(3000);  // never answers
    });
    auto timings = FastTimings();
    timings.replyTimeoutMs = 200;
    channel_.SetTimings(timings);
    EXPECT_EQ(channel_.Open(*CameraRecord(peer.Port(), kId, "pw")), 0);
    EXPECT_EQ(channel_.LastLoginResult(), CXOMPDeviceOper::kLoginNoAnswer);
    EXPECT_FALSE(channel_.LoggedIn());
}

TEST_F(DeviceChannelEdgeTest, TheCamerasAnswerToASetIsReportedTakenOrRefused) {
    ScriptedPeer peer([&](int socket, int) {
        PeerIo io(socket);
        io.AcceptLogin();
        CHalvexProtocolAX request;
        io.Read(request);  // the RF list asked for by the login reply
        io.Read(request);  // the parameter set: refused
        CHalvexProtocolAX refusal;
        PeerIo::StartReply(refusal, 3303, "0");
        refusal.AddField("ErrorInfo", "read-only camera");
        io.Send(refusal);
        io.Read(request);  // the extended set: taken
        CHalvexProtocolAX taken;
        PeerIo::StartReply(taken, 3307);
        io.Send(taken);
        io.ReadWire(3000);
    });
    ASSERT_EQ(Open(peer, CXOMPDeviceOper::kModeRfSensors), 1);
    DevInfoBlock block{};
    ASSERT_TRUE(channel_.SetParameters(block));
    Notice notice;
    ASSERT_TRUE(notices_.Wait(notice, 2000));
    // The refusal first, then the answer that names the set.
    EXPECT_EQ(notice.message, notice::kReplyFailed);
    ASSERT_TRUE(notices_.Wait(notice, 2000));
    EXPECT_EQ(notice.message, notice::kSetAnswered);
    EXPECT_EQ(notice.wParam, 3303u);
    EXPECT_EQ(notice.lParam, 0);

    ASSERT_TRUE(channel_.SetExtendedParameters(DevInfoExt{}));
    ASSERT_TRUE(notices_.Wait(notice, 2000));
    EXPECT_EQ(notice.message, notice::kSetAnswered);
    EXPECT_EQ(notice.wParam, 3307u);
    EXPECT_EQ(notice.lParam, 1);
}

}  // namespace
}  // namespace orbisight
