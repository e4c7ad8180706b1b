#include "lan/NetWizardSettings.h"

#include "lan/LanDatagram.h"

namespace orbisight::netwizard {
namespace {

std::string CheckAddresses(const std::string& ip, const std::string& mask,
                           const std::string& gateway, const std::string& dns) {
    const std::pair<const char*, const std::string*> fields[] = {
        {"IP", &ip}, {"Mask", &mask}, {"Gateway", &gateway}, {"DNS", &dns}};
    for (const auto& [label, value] : fields) {
        if (!lan::IsDottedIpv4(*value)) {
            return std::string(label) + " \"" + *value + "\" is not an IPv4 address (a.b.c.d)";
        }
    }
    return {};
}

}  // namespace

WiredNetSettings WiredFrom(const DevInfoBlock& block) {
    WiredNetSettings s;
    s.ip = FieldText(block.wiredIp);
    s.mask = FieldText(block.wiredMask);
    s.gateway = FieldText(block.wiredGateway);
    s.dns = FieldText(block.wiredDns);
    s.dhcp = block.wiredDhcp != 0;
    return s;
}

WifiNetSettings WifiFrom(const DevInfoBlock& block) {
    WifiNetSettings s;
    s.ssid = FieldText(block.wifiSsid);
    s.key = FieldText(block.wifiKey);
    s.ip = FieldText(block.wifiIp);
    s.mask = FieldText(block.wifiMask);
    s.gateway = FieldText(block.wifiGateway);
    s.dns = FieldText(block.wifiDns);
    s.dhcp = true;
    return s;
}

std::string CheckWired(const WiredNetSettings& s) {
    return s.dhcp ? std::string() : CheckAddresses(s.ip, s.mask, s.gateway, s.dns);
}

std::string CheckWifi(const WifiNetSettings& s) {
    if (s.ssid.size() >= sizeof(DevInfoBlock::wifiSsid)) {
        return "The ESSID is longer than " + std::to_string(sizeof(DevInfoBlock::wifiSsid) - 1) +
               " bytes";
    }
    if (s.key.size() >= sizeof(DevInfoBlock::wifiKey)) {
        return "The password is longer than " + std::to_string(sizeof(DevInfoBlock::wifiKey) - 1) +
               " bytes";
    }
    return s.dhcp ? std::string() : CheckAddresses(s.ip, s.mask, s.gateway, s.dns);
}

void ApplyWired(DevInfoBlock& block, const WiredNetSettings& s) {
    CopyTextField(block.wiredIp, s.ip);
    CopyTextField(block.wiredMask, s.mask);
    CopyTextField(block.wiredGateway, s.gateway);
    CopyTextField(block.wiredDns, s.dns);
    block.wiredDhcp = s.dhcp ? 1 : 0;
}

void ApplyWifi(DevInfoBlock& block, const WifiNetSettings& s) {
    CopyTextField(block.wifiSsid, s.ssid);
    CopyTextField(block.wifiKey, s.key);
    CopyTextField(block.wifiIp, s.ip);
    CopyTextField(block.wifiMask, s.mask);
    CopyTextField(block.wifiGateway, s.gateway);
    CopyTextField(block.wifiDns, s.dns);
    block.wifiDhcp = s.dhcp ? 1 : 0;
    block.wifiClientMode = 1;
}

}  // namespace orbisight::netwizard
