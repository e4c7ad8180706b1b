#include "device/DeviceParamMembers.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <limits>

#include "device/LittleEndian.h"
#include "platform/Text.h"

namespace orbisight {
namespace {

using Block = ParamMember::Block;
using Type = ParamMember::Type;

constexpr Block kB = Block::kBasic;
constexpr Block kE = Block::kExtended;

constexpr ParamMember Int(std::string_view name, size_t offset, size_t size, bool ro = false) {
    return {
        name, kB, Type::kInteger, static_cast<uint16_t>(offset), static_cast<uint16_t>(size), 0, 0,
        0,    ro};
}
constexpr ParamMember Text(std::string_view name, Block block, size_t offset, size_t size,
                           bool ro = false, size_t maxBytes = 0) {
    return {name,
            block,
            Type::kText,
            static_cast<uint16_t>(offset),
            static_cast<uint16_t>(size),
            0,
            0,
            static_cast<uint16_t>(maxBytes),
            ro};
}
constexpr ParamMember Bits(std::string_view name, size_t offset, int shift, int count,
                           bool setsHighBit = false) {
    return {name,
            kB,
            Type::kBits,
            static_cast<uint16_t>(offset),
            1,
            static_cast<uint8_t>(shift),
            static_cast<uint8_t>(count),
            0,
            false,
            setsHighBit};
}
constexpr ParamMember Other(std::string_view name, Type type, size_t offset, size_t size) {
    return {name, kB, type, static_cast<uint16_t>(offset), static_cast<uint16_t>(size)};
}

#define B(member) offsetof(DevInfoBlock, member), sizeof(DevInfoBlock::member)
#define E(member) offsetof(DevInfoExt, member), sizeof(DevInfoExt::member)

constexpr ParamMember kMembers[] = {
    Int("code", B(code), true),
    Text("command_name", kB, B(commandName), true),
    Text("device_name", kB, B(deviceName), false, DevInfoBlock::kMaxDeviceNameBytes),
    Text("marker", kB, B(marker), true),
    Text("wired_ip", kB, B(wiredIp)),
    Text("wired_mask", kB, B(wiredMask)),
    Text("wired_gateway", kB, B(wiredGateway)),
    Other("wired_mac", Type::kMac, B(wiredMac)),
    Other("wifi_mac", Type::kMac, B(wifiMac)),
    Int("wired_dhcp", B(wiredDhcp)),
    Text("wired_dns", kB, B(wiredDns)),
    Text("device_password", kB, B(devicePassword), true),
    Text("firmware_version", kB, B(firmwareVersion), true),
    Text("device_id", kB, B(deviceId), true),
    Int("wifi_dhcp", B(wifiDhcp)),
    Int("wifi_client_mode", B(wifiClientMode)),
    Int("wifi_security", B(wifiSecurity)),
    Text("wifi_ip", kB, B(wifiIp)),
    Text("wifi_ssid", kB, B(wifiSsid)),
    Text("wifi_key", kB, B(wifiKey)),
    Text("wifi_mask", kB, B(wifiMask)),
    Text("wifi_gateway", kB, B(wifiGateway)),
    Text("wifi_dns", kB, B(wifiDns)),
    Int("supported_resolutions", B(supportedResolutions)),
    Int("resolution_code", B(resolutionCode)),
    Int("mirror", B(mirror)),
    Int("flip", B(flip)),
    Int("stream1_bit_rate", B(stream1BitRate)),
    Int("stream1_frame_rate", B(stream1FrameRate)),
    Int("stream2_bit_rate", B(stream2BitRate)),
    Int("stream2_frame_rate", B(stream2FrameRate)),
    Int("mains_frequency", B(mainsFrequency)),
    Int("password_change", B(passwordChange)),
    Text("new_password", kB, B(newPassword)),
    Int("audio_enabled", B(audioEnabled)),
    Bits("input_trigger_enabled", offsetof(DevInfoBlock, alarmInputFlags), 0, 1),
    Bits("alarm_condition_together", offsetof(DevInfoBlock, alarmInputFlags), 1, 1),
    Int("input_trigger_type", B(inputTriggerType)),
    Int("io_output_enabled", B(ioOutputEnabled)),
    Int("io_output_type", B(ioOutputType)),
    Int("alert_enabled", B(alertOn)),
    Int("motor_type", B(motorType)),
    Int("snapshot_interval", B(snapshotInterval)),
    Int("audio_type", B(audioType)),
    Int("store_position", B(storePosition)),
    Int("stored_stream", B(storedStream)),
    Int("video_file_size", B(videoFileSize)),
    Int("rtsp_enabled", B(rtspEnabled)),
    Int("ir_control", B(irControl)),
    Int("snapshot_time1", B(snapshotTime1)),
    Int("snapshot_time2", B(snapshotTime2)),
    Int("alarm_sound", B(alarmSound)),
    Int("alarm_duration", B(alarmDuration)),
    Int("alarm_to_ftp", B(alarmToFtp)),
    Int("alarm_to_sd", B(alarmToSd)),
    Int("upload_server_kind", B(uploadServerKind)),
    Text("ftp_server", kB, B(ftpServer)),
    Text("ftp_user", kB, B(ftpUser)),
    Text("ftp_password", kB, B(ftpPassword)),
    Int("ftp_port", B(ftpPort)),
    Text("bound_user", kB, B(boundUser)),
    Text("alarm_email_address", kB, B(alarmEmail)),
    Int("motion_detection", B(motionDetection)),
    Int("motion_sensitivity", B(motionSensitivity)),
    Other("motion_zones", Type::kMotionZones, B(motionZones)),
    Int("restart_command", B(restartCommand)),
    Bits("alarm_email_enabled", offsetof(DevInfoBlock, alarmEmailFlags), 0, 1),
    Bits("mail_picture_interval", offsetof(DevInfoBlock, alarmEmailFlags), 1, 7),
    Int("email_attachment", B(emailAttachment)),
    Bits("time_zone", offsetof(DevInfoBlock, timeZone), 0, 7, true),
    Int("year", B(year)),
    Bits("month", offsetof(DevInfoBlock, month), 0, 7),
    Int("day", B(day)),
    Int("hour", B(hour)),
    Int("minute", B(minute)),
    Int("second", B(second)),
    Int("sd_card_state", B(sdCardState), true),
    Int("scheduled_to_ftp", B(scheduledToFtp)),
    Int("scheduled_to_sd", B(scheduledToSd)),
    Other("record_schedule", Type::kSchedule, B(recordSchedule)),
    Text("dial_user", kE, E(dialUser)),
    Text("dial_password", kE, E(dialPassword)),
    Text("apn", kE, E(apn)),
    Text("dial_number", kE, E(dialNumber)),
    Text("alarm_number0", kE, offsetof(DevInfoExt, alarmNumber) + 0, 20),
    Text("alarm_number1", kE, offsetof(DevInfoExt, alarmNumber) + 20, 20),
    Text("alarm_number2", kE, offsetof(DevInfoExt, alarmNumber) + 40, 20),
    Text("alarm_number3", kE, offsetof(DevInfoExt, alarmNumber) + 60, 20),
};

#undef B
#undef E

uint8_t* BytesOf(const ParamMember& member, DevInfoBlock& block, DevInfoExt& ext) {
    uint8_t* base = member.block == Block::kBasic ? reinterpret_cast<uint8_t*>(&block)
                                                  : reinterpret_cast<uint8_t*>(&ext);
    return base + member.offset;
}

const uint8_t* BytesOf(const ParamMember& member, const DevInfoBlock& block,
                       const DevInfoExt& ext) {
    const uint8_t* base = member.block == Block::kBasic ? reinterpret_cast<const uint8_t*>(&block)
                                                        : reinterpret_cast<const uint8_t*>(&ext);
    return base + member.offset;
}

int64_t ReadInteger(const uint8_t* bytes, size_t size) {
    switch (size) {
        case 1:
            return bytes[0];
        case 2:
            return reinterpret_cast<const LeUInt16*>(bytes)->Get();
        default:
            return reinterpret_cast<const LeInt32*>(bytes)->Get();
    }
}

void WriteInteger(uint8_t* bytes, size_t size, int64_t value) {
    switch (size) {
        case 1:
            bytes[0] = static_cast<uint8_t>(value);
            break;
        case 2:
            reinterpret_cast<LeUInt16*>(bytes)->Set(static_cast<uint16_t>(value));
            break;
        default:
            reinterpret_cast<LeInt32*>(bytes)->Set(static_cast<int32_t>(value));
            break;
    }
}

bool ParseInteger(std::string_view text, int64_t& value) {
    text = Trim(text);
    if (text.empty() || text.size() > 12) {
        return false;
    }
    size_t i = 0;
    bool negative = false;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) {
        return false;
    }
    int64_t result = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        result = result * 10 + (text[i] - '0');
    }
    value = negative ? -result : result;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool Fail(std::string* error, const ParamMember& member, const std::string& why) {
    if (error) {
        *error = std::string(member.name) + ": " + why;
    }
    return false;
}

bool SetInteger(const ParamMember& member, uint8_t* bytes, std::string_view text,
                std::string* error) {
    int64_t value = 0;
    if (!ParseInteger(text, value)) {
        return Fail(error, member, "\"" + std::string(text) + "\" is not a decimal number");
    }
    int64_t low = 0;
    int64_t high = 0;
    if (member.type == Type::kBits) {
        high = (int64_t{1} << member.count) - 1;
    } else if (member.size == 4) {
        low = std::numeric_limits<int32_t>::min();
        high = std::numeric_limits<int32_t>::max();
    } else {
        high = (int64_t{1} << (8 * member.size)) - 1;
    }
    if (value < low || value > high) {
        return Fail(error, member,
                    std::to_string(value) + " is outside " + std::to_string(low) + ".." +
                        std::to_string(high));
    }
    if (member.type == Type::kBits) {
        uint8_t mask = static_cast<uint8_t>(((1u << member.count) - 1) << member.shift);
        uint8_t byte = static_cast<uint8_t>((bytes[0] & ~mask) | ((value << member.shift) & mask));
        if (member.setsHighBit) {
            byte |= 0x80;
        }
        bytes[0] = byte;
    } else {
        WriteInteger(bytes, member.size, value);
    }
    return true;
}

bool SetMac(const ParamMember& member, uint8_t* bytes, std::string_view text, std::string* error) {
    uint8_t mac[6];
    text = Trim(text);
    // "AA:BB:CC:DD:EE:FF" or with "-" between the bytes.
    if (text.size() != 17) {
        return Fail(error, member, "expected six hex bytes such as 00:1A:2B:3C:4D:5E");
    }
    for (int i = 0; i < 6; ++i) {
        int high = HexDigit(text[i * 3]);
        int low = HexDigit(text[i * 3 + 1]);
        bool separatorOk = i == 5 || text[i * 3 + 2] == ':' || text[i * 3 + 2] == '-';
        if (high < 0 || low < 0 || !separatorOk) {
            return Fail(error, member, "expected six hex bytes such as 00:1A:2B:3C:4D:5E");
        }
        mac[i] = static_cast<uint8_t>(high * 16 + low);
    }
    std::memcpy(bytes, mac, sizeof mac);
    return true;
}

bool SetSchedule(const ParamMember& member, uint8_t* bytes, std::string_view text,
                 std::string* error) {
    uint32_t words[16];
    size_t count = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string_view word =
            Trim(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
        if (count == 16 || word.empty() || word.size() > 8) {
            return Fail(error, member, "expected 16 comma-separated hex words");
        }
        uint32_t value = 0;
        for (char c : word) {
            int digit = HexDigit(c);
            if (digit < 0) {
                return Fail(error, member, "expected 16 comma-separated hex words");
            }
            value = value * 16 + static_cast<uint32_t>(digit);
        }
        words[count++] = value;
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    if (count != 16) {
        return Fail(error, member, "expected 16 comma-separated hex words");
    }
    for (size_t i = 0; i < 16; ++i) {
        reinterpret_cast<LeUInt32*>(bytes + 4 * i)->Set(words[i]);
    }
    return true;
}

}  // namespace

std::span<const ParamMember> ParamMembers() {
    return kMembers;
}

const ParamMember* FindParamMember(std::string_view name) {
    for (const auto& member : kMembers) {
        if (member.name == name) {
            return &member;
        }
    }
    return nullptr;
}

std::string GetParamText(const ParamMember& member, const DevInfoBlock& block,
                         const DevInfoExt& ext) {
    const uint8_t* bytes = BytesOf(member, block, ext);
    switch (member.type) {
        case Type::kInteger:
            return std::to_string(ReadInteger(bytes, member.size));
        case Type::kBits:
            return std::to_string((bytes[0] >> member.shift) & ((1u << member.count) - 1));
        case Type::kText:
            return std::string(FieldText(reinterpret_cast<const char*>(bytes), member.size));
        case Type::kMac: {
            char text[18];
            std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", bytes[0], bytes[1],
                          bytes[2], bytes[3], bytes[4], bytes[5]);
            return text;
        }
        case Type::kMotionZones: {
            std::string text;
            for (int row = 0; row < DevInfoBlock::kMotionRows; ++row) {
                text += "0123456789ABCDEF"[block.MotionZoneRow(row)];
            }
            return text;
        }
        case Type::kSchedule: {
            std::string text;
            for (int i = 0; i < 16; ++i) {
                char word[12];
                std::snprintf(word, sizeof word, "%s%08X", i ? "," : "",
                              reinterpret_cast<const LeUInt32*>(bytes + 4 * i)->Get());
                text += word;
            }
            return text;
        }
    }
    return {};
}

bool SetParamText(const ParamMember& member, DevInfoBlock& block, DevInfoExt& ext,
                  std::string_view text, std::string* error) {
    uint8_t* bytes = BytesOf(member, block, ext);
    switch (member.type) {
        case Type::kInteger:
        case Type::kBits:
            return SetInteger(member, bytes, text, error);
        case Type::kText: {
            size_t limit = member.maxBytes ? member.maxBytes : member.size - 1u;
            if (text.find('\0') != std::string_view::npos) {
                return Fail(error, member, "the text holds a NUL byte");
            }
            if (text.size() > limit) {
                return Fail(error, member,
                            "\"" + std::string(text) + "\" is longer than " +
                                std::to_string(limit) + " bytes");
            }
            CopyTextField(reinterpret_cast<char*>(bytes), member.size, text);
            return true;
        }
        case Type::kMac:
            return SetMac(member, bytes, text, error);
        case Type::kMotionZones: {
            text = Trim(text);
            if (text.size() != 3 || HexDigit(text[0]) < 0 || HexDigit(text[1]) < 0 ||
                HexDigit(text[2]) < 0) {
                return Fail(error, member, "expected three hex digits, one per row, e.g. F0A");
            }
            for (int row = 0; row < 3; ++row) {
                block.SetMotionZoneRow(row, HexDigit(text[row]));
            }
            return true;
        }
        case Type::kSchedule:
            return SetSchedule(member, bytes, text, error);
    }
    return false;
}

}  // namespace orbisight
