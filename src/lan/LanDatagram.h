#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "device/DevInfoBlock.h"
#include "device/DevInfoExt.h"
#include "device/LittleEndian.h"

namespace orbisight {

// One camera found on the LAN: its last basic answer, its last extended
// answer (zero until one arrives), the address to reach it by and how it is
// attached. 2196 bytes, kept byte for byte like the other records.
struct CamNetParam {
    static constexpr int32_t kWired = 0;
    static constexpr int32_t kWifi = 1;

    DevInfoBlock basic;     // 0
    DevInfoBlock extended;  // 1088
    char address[16];       // 2176: dotted text
    LeInt32 netType;        // 2192: kWifi or kWired

    std::string_view Id() const { return FieldText(basic.deviceId); }
    std::string_view Address() const { return FieldText(address); }
    std::string_view Name() const { return FieldText(basic.deviceName); }
    std::string_view Password() const { return FieldText(basic.devicePassword); }
    std::string_view Version() const { return FieldText(basic.firmwareVersion); }
    bool IsWifi() const { return netType == kWifi; }
    // "Net Type" as the windows show it.
    const char* NetTypeText() const { return IsWifi() ? "WIFI" : "LAN"; }
    // The Wi-Fi MAC for a Wi-Fi camera, the wired one otherwise, as
    // "AA:BB:CC:DD:EE:FF".
    std::string MacText() const;
    // The extended answer's 3G settings (meaningful once it has code 88).
    bool HasExtended() const { return extended.code == DevInfoBlock::kCodeExtendedAnswer; }
    DevInfoExt Extended() const;
};

static_assert(sizeof(CamNetParam) == 2196);
static_assert(offsetof(CamNetParam, extended) == 1088);
static_assert(offsetof(CamNetParam, address) == 2176);
static_assert(offsetof(CamNetParam, netType) == 2192);
static_assert(std::is_trivially_copyable_v<CamNetParam>);

namespace lan {

// Every LAN datagram is exactly one parameter block.
constexpr size_t kDatagramBytes = sizeof(DevInfoBlock);
// A valid answer carries a device ID of exactly this many characters.
constexpr size_t kDeviceIdLength = 12;
// Where a camera that answers from this address is taken to be on Wi-Fi
// (the address cameras give themselves as their own access point).
constexpr const char* kAccessPointAddress = "192.168.100.100";
// The port of the sets that the wizard and the settings dialog broadcast,
// and of the "3G" reply: fixed, whatever "DeviceSetPort" says.
constexpr uint16_t kFixedSetPort = 8628;

enum class AnswerKind { kBasic, kExtended };

// A received datagram that the client acts on.
struct Answer {
    AnswerKind kind;
    DevInfoBlock block;
};

// Checks a received datagram: exactly 1088 bytes, code 87 or 88, a device
// ID of exactly 12 characters terminated inside its field. Anything else
// (other sizes and codes, 11 or 13 characters, an ID without terminator) is
// nullopt.
std::optional<Answer> ParseAnswer(const void* data, size_t size);

// The dotted text of an IPv4 socket address.
std::string DottedAddress(const sockaddr_in& address);

// Fills address and network type of a record from the sender of its basic
// answer: the sender is the Wi-Fi address -> Wi-Fi; the wired address ->
// wired; the access point address -> Wi-Fi; otherwise wired, and the wired
// address from the block is used instead of the sender's.
void DecideNetwork(CamNetParam& record, std::string_view sender);

// A record for a camera that has just sent a basic answer from sender.
CamNetParam RecordFromAnswer(const DevInfoBlock& basic, std::string_view sender);

// The search: code 86, command name "VidxGet", all else zero.
DevInfoBlock BuildSearch();
// The reply to a basic answer: a copy with code 129 and "3G" as marker.
DevInfoBlock Build3gReply(const DevInfoBlock& answer);
// A set of the basic block: the block stamped with code 135 and
// "VidxSetInfo".
DevInfoBlock BuildSet(const DevInfoBlock& block);
// A set of the 3G settings: the extended answer's block with the settings
// at their place, stamped with code 128 and "VidxSetInfo".
DevInfoBlock BuildExtendedSet(const DevInfoBlock& extendedAnswer, const DevInfoExt& ext);

// True when text is a dotted IPv4 address ("a.b.c.d", each 0..255).
bool IsDottedIpv4(std::string_view text);

}  // namespace lan
}  // namespace orbisight
