// The network wizard's rules and the Wi-Fi scan.

#include <gtest/gtest.h>

#include <cstdlib>

#include "lan/NetWizardSettings.h"
#include "lan/WifiScan.h"

namespace orbisight {
namespace {

DevInfoBlock Camera() {
    DevInfoBlock block{};
    block.SetWiredIp("192.168.1.20");
    CopyTextField(block.wiredMask, "255.255.255.0");
    CopyTextField(block.wiredGateway, "192.168.1.1");
    CopyTextField(block.wiredDns, "192.168.1.1");
    block.wiredDhcp = 0;
    block.SetWifiIp("192.168.1.21");
    CopyTextField(block.wifiMask, "255.255.255.0");
    CopyTextField(block.wifiGateway, "192.168.1.254");
    CopyTextField(block.wifiDns, "8.8.4.4");
    block.wifiDhcp = 0;
    block.wifiClientMode = 0;
    return block;
}

TEST(NetWizard, FinishingTheWifiPathWithDhcpLeftOnSendsTheLoadedAddresses) {
    DevInfoBlock block = Camera();
    WifiNetSettings wifi = netwizard::WifiFrom(block);
    EXPECT_TRUE(wifi.dhcp);  // the page opens with DHCP checked
    wifi.ssid = "HomeNet";
    wifi.key = "correct horse";
    EXPECT_EQ(netwizard::CheckWifi(wifi), "");
    netwizard::ApplyWifi(block, wifi);
    EXPECT_EQ(block.wifiDhcp, 1);
    EXPECT_EQ(block.wifiClientMode, 1);
    EXPECT_EQ(FieldText(block.wifiIp), "192.168.1.21");
    EXPECT_EQ(FieldText(block.wifiGateway), "192.168.1.254");
    EXPECT_EQ(FieldText(block.wifiSsid), "HomeNet");
    EXPECT_EQ(FieldText(block.wifiKey), "correct horse");
    EXPECT_EQ(FieldText(block.wiredIp), "192.168.1.20");  // the wired side is left alone
}

TEST(NetWizard, TheLanPathWritesTheWiredAddressesAndDhcp) {
    DevInfoBlock block = Camera();
    WiredNetSettings wired = netwizard::WiredFrom(block);
    EXPECT_FALSE(wired.dhcp);
    EXPECT_EQ(wired.gateway, "192.168.1.1");
    wired.ip = "192.168.1.77";
    EXPECT_EQ(netwizard::CheckWired(wired), "");
    netwizard::ApplyWired(block, wired);
    EXPECT_EQ(FieldText(block.wiredIp), "192.168.1.77");
    EXPECT_EQ(block.wiredDhcp, 0);
    EXPECT_EQ(block.wifiClientMode, 0);
}

TEST(NetWizard, FixedAddressesMustBeDottedIpv4ButDhcpNeedsNone) {
    WiredNetSettings wired = netwizard::WiredFrom(Camera());
    wired.mask = "255.255.255.256";
    EXPECT_NE(netwizard::CheckWired(wired).find("Mask"), std::string::npos);
    wired.dhcp = true;
    EXPECT_EQ(netwizard::CheckWired(wired), "");
    WifiNetSettings wifi = netwizard::WifiFrom(Camera());
    wifi.dhcp = false;
    wifi.dns = "dns.example";
    EXPECT_NE(netwizard::CheckWifi(wifi).find("DNS"), std::string::npos);
}

TEST(NetWizard, SsidAndKeyMustFitTheirFieldsRatherThanBeCut) {
    WifiNetSettings wifi = netwizard::WifiFrom(Camera());
    wifi.ssid = std::string(127, 's');
    wifi.key = std::string(63, 'k');
    EXPECT_EQ(netwizard::CheckWifi(wifi), "");
    wifi.ssid = std::string(128, 's');
    EXPECT_NE(netwizard::CheckWifi(wifi), "");
    wifi.ssid = "ok";
    wifi.key = std::string(64, 'k');
    EXPECT_NE(netwizard::CheckWifi(wifi), "");
}

TEST(WifiScan, NamesComeInOrderWithDuplicatesAndEscapesUndone) {
    auto names = WifiScan::ParseTerse("HomeNet\nCafe\\:Guest\n\nHomeNet\nback\\\\slash\r\n");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], "HomeNet");
    EXPECT_EQ(names[1], "Cafe:Guest");
    EXPECT_EQ(names[2], "HomeNet");  // a network seen twice is listed twice
    EXPECT_EQ(names[3], "back\\slash");
}

TEST(WifiScan, AskTheToolForSsidsAndGiveNothingWhenItFails) {
    std::vector<std::string> asked;
    WifiScan ok([&](const std::vector<std::string>& argv, std::string& out) {
        asked = argv;
        out = "A\nB\n";
        return true;
    });
    EXPECT_EQ(ok.Scan(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(asked,
              (std::vector<std::string>{"nmcli", "-t", "-f", "SSID", "dev", "wifi", "list"}));
    WifiScan failing([](const std::vector<std::string>&, std::string& out) {
        out = "Error: NetworkManager is not running.\n";
        return false;
    });
    EXPECT_TRUE(failing.Scan().empty());
}

TEST(WifiScan, WithoutTheToolTheListIsEmpty) {
    const char* saved = std::getenv("PATH");
    std::string path = saved ? saved : "";
    setenv("PATH", "/nonexistent-orbisight", 1);
    auto names = WifiScan().Scan();
    setenv("PATH", path.c_str(), 1);
    EXPECT_TRUE(names.empty());
}

}  // namespace
}  // namespace orbisight
