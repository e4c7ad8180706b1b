#include <gtest/gtest.h>

#include <string>

#include "device/CHalvexProtocolAX.h"
#include "media/ChannelMessages.h"

namespace orbisight {
namespace {

std::string Bytes(CHalvexProtocolAX& message) {
    const uint8_t* bytes = message.Serialize();
    return std::string(reinterpret_cast<const char*>(bytes),
                       static_cast<size_t>(message.TotalLength()));
}

TEST(ChannelMessages, LoginAndKeepAlive) {
    CHalvexProtocolAX m;
    channelmsg::BuildLogin(m, "admin", "pw", "ORBI1");
    EXPECT_EQ(Bytes(m),
              "01002001000040"
              "08000005UserNameadmin"
              "08000002Passwordpw"
              "0C000005DeviceSerialORBI1");
    channelmsg::BuildKeepAlive(m);
    EXPECT_EQ(Bytes(m), "01002003000000");
}

TEST(ChannelMessages, StreamCommandStreamIdRules) {
    CHalvexProtocolAX m;
    channelmsg::StreamChoice direct;
    EXPECT_FALSE(channelmsg::BuildStreamCommand(m, true, "Video", direct).has_value());
    EXPECT_EQ(Bytes(m),
              "01000008000025"
              "07000005CommandStart"
              "04000005TypeVideo");

    channelmsg::StreamChoice remote;
    remote.remote = true;
    EXPECT_EQ(channelmsg::BuildStreamCommand(m, false, "All", remote), 1);
    EXPECT_EQ(Bytes(m),
              "01000008000033"
              "07000004CommandStop"
              "04000003TypeAll"
              "08000001StreamID1");

    // A local camera: "0" with the big stream, "1" without.
    channelmsg::StreamChoice local;
    local.localCamera = true;
    EXPECT_EQ(channelmsg::BuildStreamCommand(m, true, "All", local), 0);
    EXPECT_STREQ(m.FindText("StreamID"), "0");
    local.localBigStream = false;
    EXPECT_EQ(channelmsg::BuildStreamCommand(m, true, "All", local), 1);
    EXPECT_STREQ(m.FindText("StreamID"), "1");

    // A local camera reached through its remote address: the first "1"
    // stays whatever the setting says, but the flag records "0".
    local.remote = true;
    local.localBigStream = true;
    EXPECT_EQ(channelmsg::BuildStreamCommand(m, true, "Video", local), 0);
    EXPECT_STREQ(m.FindText("StreamID"), "1");
    EXPECT_EQ(m.Fields().size(), 3u);
}

// The stream a pane's size asks for replaces the local camera's rule and is
// named for any camera; the remote address keeps its sub stream.
TEST(ChannelMessages, PaneStreamNamesTheStreamForAnyDirectCamera) {
    CHalvexProtocolAX m;
    channelmsg::StreamChoice choice;
    choice.paneStream = 0;
    EXPECT_EQ(channelmsg::BuildStreamCommand(m, true, "Video", choice), 0);
    EXPECT_EQ(Bytes(m),
              "01000008000036"
              "07000005CommandStart"
              "04000005TypeVideo"
              "08000001StreamID0");
    choice.paneStream = 1;
    choice.localCamera = true;
    choice.localBigStream = true;  // overruled
    EXPECT_EQ(channelmsg::BuildStreamCommand(m, true, "All", choice), 1);
    EXPECT_STREQ(m.FindText("StreamID"), "1");
    EXPECT_EQ(m.Fields().size(), 3u);

    choice.paneStream = 0;
    choice.remote = true;
    EXPECT_EQ(channelmsg::BuildStreamCommand(m, true, "Video", choice), 1);
    EXPECT_STREQ(m.FindText("StreamID"), "1");
    EXPECT_EQ(m.Fields().size(), 3u);
}

TEST(ChannelMessages, ControlRequests) {
    CHalvexProtocolAX m;
    channelmsg::BuildControl(m, 100, false);
    EXPECT_EQ(Bytes(m),
              "01000010000025"
              "04000001Wait1"
              "0D000003Command_Param100");
    channelmsg::BuildControl(m, 101, true);
    EXPECT_EQ(Bytes(m),
              "0100001000002A"
              "08000002AlertValOn"
              "0D000003Command_Param101");
    channelmsg::BuildControl(m, 101, false);
    EXPECT_STREQ(m.FindText("AlertVal"), "Off");

    // Quality: 103 + 256 q; only the base code goes out.
    channelmsg::BuildControl(m, 359, false);
    EXPECT_EQ(Bytes(m),
              "01000010000029"
              "06000003AVQValMax"
              "0D000003Command_Param103");
    channelmsg::BuildControl(m, 871, false);
    EXPECT_STREQ(m.FindText("AVQVal"), "Mid");
    channelmsg::BuildControl(m, 1383, false);
    EXPECT_STREQ(m.FindText("AVQVal"), "Min");
    channelmsg::BuildControl(m, 103, false);
    EXPECT_STREQ(m.FindText("AVQVal"), "Min");

    // Camera controls: the code itself.
    channelmsg::BuildControl(m, 1, false);
    EXPECT_EQ(Bytes(m),
              "01000010000016"
              "0D000001Command_Param1");
    channelmsg::BuildControl(m, 13, false);
    EXPECT_EQ(Bytes(m),
              "01000010000017"
              "0D000002Command_Param13");
}

TEST(ChannelMessages, PointAndTalk) {
    CHalvexProtocolAX m;
    channelmsg::BuildPointPtz(m, 640, 7);
    EXPECT_EQ(Bytes(m),
              "01000010000037"
              "0D000002Command_Param14"
              "06000003X_Axis640"
              "06000001Y_Axis7");
    channelmsg::BuildTalkStart(m);
    EXPECT_EQ(Bytes(m),
              "01000010000026"
              "0D000004Command_Param3001"
              "04000001Wait1");
    const uint8_t frame[] = {0xFF, 0xF1, 0x00, 0x01};
    channelmsg::BuildTalkAudio(m, frame, sizeof frame);
    const Field* audio = m.FindField("audiodata");
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->valueLength, 4);  // zero bytes kept
    EXPECT_STREQ(m.FindText("Command_Param"), "3000");
}

}  // namespace
}  // namespace orbisight
