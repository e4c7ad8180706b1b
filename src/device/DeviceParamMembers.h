#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "device/DevInfoBlock.h"
#include "device/DevInfoExt.h"

namespace orbisight {

// Every named member of the two parameter blocks under a stable snake_case
// name ("device_name", "wifi_ssid", "resolution_code", "motion_zones"...),
// with reading and writing as text. The command-line tool's params and
// set-param commands and the camera simulator's configuration use it, so a
// member is spelled the same way everywhere.
struct ParamMember {
    enum class Block { kBasic, kExtended };
    enum class Type {
        kInteger,      // little-endian integer of `size` bytes (1, 2 or 4); signed when 4
        kBits,         // bits [shift, shift + count) of one byte
        kText,         // NUL-terminated text in a field of `size` bytes
        kMac,          // six bytes shown as "AA:BB:CC:DD:EE:FF"
        kMotionZones,  // three hex digit characters, e.g. "F0A"
        kSchedule,     // sixteen 32-bit words shown as 8-digit hex, comma-separated
    };

    std::string_view name;
    Block block;
    Type type;
    uint16_t offset;
    uint16_t size;
    uint8_t shift = 0;      // kBits
    uint8_t count = 0;      // kBits
    uint16_t maxBytes = 0;  // kText: longest text accepted (0: the field less one byte)
    bool readOnly = false;  // shown by the client, never edited by the user
    // kBits: the byte's bit 7 is set whenever the member is written (the
    // time zone is marked as written by the client that way).
    bool setsHighBit = false;

    bool IsNumber() const { return type == Type::kInteger || type == Type::kBits; }
};

// All members, basic block first, in offset order.
std::span<const ParamMember> ParamMembers();
const ParamMember* FindParamMember(std::string_view name);

// The member's value as text (numbers in decimal).
std::string GetParamText(const ParamMember& member, const DevInfoBlock& block,
                         const DevInfoExt& ext);

// Stores text into the member. Numbers must be decimal and fit the member;
// texts must fit the field (or the member's own limit) and are never cut.
// Returns false and fills error (when given) without changing anything.
bool SetParamText(const ParamMember& member, DevInfoBlock& block, DevInfoExt& ext,
                  std::string_view text, std::string* error = nullptr);

}  // namespace orbisight
