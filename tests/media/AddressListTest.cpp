#include <gtest/gtest.h>

#include <string>

#include "media/AddressList.h"

namespace orbisight {
namespace {

TEST(AddressList, ReadsDirectRemoteAndPeerEntries) {
    ChannelAddresses a = ParseAddressList(
        "ssp://127.0.0.1:5552;ddns://cam.example.org:6000;tutkid://ABCDEFGHIJ1234567890", true);
    EXPECT_EQ(a.directHost, "127.0.0.1");
    EXPECT_EQ(a.directPort, 5552);
    EXPECT_EQ(a.remoteHost, "cam.example.org");
    EXPECT_EQ(a.remotePort, 6000);
    EXPECT_EQ(a.peerId, "ABCDEFGHIJ1234567890");
}

TEST(AddressList, PeerIdentifierOnlyWhilePeerToPeerIsAllowed) {
    ChannelAddresses a = ParseAddressList("ssp://127.0.0.1:5552;tutkid://XYZ", false);
    EXPECT_TRUE(a.peerId.empty());
    EXPECT_EQ(a.directPort, 5552);
}

TEST(AddressList, PrivateRemoteHostsGetPortZeroButKeepTheirText) {
    for (const char* host : {"192.168.1.20", "10.0.0.7", "172.0.3.4", "110.0.3.4", "8.10.0.1"}) {
        ChannelAddresses a =
            ParseAddressList(std::string("ddns://") + host + ":6000;ssp://127.0.0.1:5552", true);
        EXPECT_EQ(a.remoteHost, host);
        EXPECT_EQ(a.remotePort, 0) << host;
        EXPECT_EQ(a.directPort, 5552);
    }
    // The rule concerns remote entries only.
    EXPECT_EQ(ParseAddressList("ssp://192.168.1.20:5552", true).directPort, 5552);
    EXPECT_EQ(ParseAddressList("ddns://172.16.0.1:6000", true).remotePort, 6000);
}

TEST(AddressList, HostBeforeFirstColonPortAfterLast) {
    ChannelAddresses a = ParseAddressList("ssp://host:1:2:7000", true);
    EXPECT_EQ(a.directHost, "host");
    EXPECT_EQ(a.directPort, 7000);
    // atoi: digits up to the first non-digit.
    EXPECT_EQ(ParseAddressList("ssp://h:5552abc", true).directPort, 5552);
}

TEST(AddressList, MissingOrInvalidPorts) {
    // No ":" at all: the camera's default port.
    ChannelAddresses a = ParseAddressList("ssp://127.0.0.1", true);
    EXPECT_EQ(a.directHost, "127.0.0.1");
    EXPECT_EQ(a.directPort, kDefaultCameraPort);
    // A port that does not fit 16 bits, a negative or a missing number: no port.
    EXPECT_EQ(ParseAddressList("ssp://h:70000", true).directPort, 0);
    EXPECT_EQ(ParseAddressList("ssp://h:-5", true).directPort, 0);
    EXPECT_EQ(ParseAddressList("ssp://h:", true).directPort, 0);
    EXPECT_EQ(ParseAddressList("ssp://h:0", true).directPort, 0);
}

TEST(AddressList, EntriesAreTrimmedAndCut) {
    ChannelAddresses a = ParseAddressList("  ssp://127.0.0.1:5552 ; ddns://r.example:1 ", true);
    EXPECT_EQ(a.directHost, "127.0.0.1");
    EXPECT_EQ(a.remoteHost, "r.example");
    // Hosts longer than 127 bytes are cut, not overrun.
    std::string longHost(300, 'h');
    a = ParseAddressList("ssp://" + longHost + ":5552", true);
    EXPECT_LE(a.directHost.size(), 127u);
    // The list is read up to 254 characters: an entry beyond is ignored.
    std::string filler = "x" + std::string(260, ';');
    EXPECT_TRUE(ParseAddressList(filler + "ssp://127.0.0.1:5552", true).directHost.empty());
}

TEST(AddressList, UnknownEntriesAndEmptyListsGiveNothing) {
    EXPECT_EQ(ParseAddressList("", true), ChannelAddresses{});
    EXPECT_EQ(ParseAddressList(";;;", true), ChannelAddresses{});
    EXPECT_EQ(ParseAddressList("http://127.0.0.1:80;cloud://x", true), ChannelAddresses{});
}

TEST(AddressList, LastEntryOfAKindWins) {
    ChannelAddresses a = ParseAddressList("ssp://127.0.0.1:1;ssp://127.0.0.2:2", true);
    EXPECT_EQ(a.directHost, "127.0.0.2");
    EXPECT_EQ(a.directPort, 2);
}

}  // namespace
}  // namespace orbisight
