#include "lan/LanDatagram.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

namespace orbisight {

std::string CamNetParam::MacText() const {
    const uint8_t* mac = IsWifi() ? basic.wifiMac : basic.wiredMac;
    char text[24];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

DevInfoExt CamNetParam::Extended() const {
    DevInfoExt ext{};
    std::memcpy(&ext, reinterpret_cast<const uint8_t*>(&extended) + DevInfoExt::kOffsetInLanAnswer,
                sizeof ext);
    return ext;
}

namespace lan {

static_assert(DevInfoExt::kOffsetInLanAnswer + sizeof(DevInfoExt) <= kDatagramBytes);

std::optional<Answer> ParseAnswer(const void* data, size_t size) {
    if (data == nullptr || size != kDatagramBytes) {
        return std::nullopt;
    }
    Answer answer{AnswerKind::kBasic, {}};
    std::memcpy(&answer.block, data, kDatagramBytes);
    if (answer.block.code == DevInfoBlock::kCodeBasicAnswer) {
        answer.kind = AnswerKind::kBasic;
    } else if (answer.block.code == DevInfoBlock::kCodeExtendedAnswer) {
        answer.kind = AnswerKind::kExtended;
    } else {
        return std::nullopt;
    }
    // FieldText stops at the field's end: an ID without its terminator
    // reads as 64 characters and is refused like any other length.
    if (FieldText(answer.block.deviceId).size() != kDeviceIdLength) {
        return std::nullopt;
    }
    return answer;
}

std::string DottedAddress(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

void DecideNetwork(CamNetParam& record, std::string_view sender) {
    std::string_view wifiIp = FieldText(record.basic.wifiIp);
    std::string_view wiredIp = FieldText(record.basic.wiredIp);
    if (!sender.empty() && sender == wifiIp) {
        record.netType = CamNetParam::kWifi;
        CopyTextField(record.address, sender);
    } else if (!sender.empty() && sender == wiredIp) {
        record.netType = CamNetParam::kWired;
        CopyTextField(record.address, sender);
    } else if (sender == kAccessPointAddress) {
        record.netType = CamNetParam::kWifi;
        CopyTextField(record.address, sender);
    } else {
        record.netType = CamNetParam::kWired;
        CopyTextField(record.address, wiredIp);
    }
}

CamNetParam RecordFromAnswer(const DevInfoBlock& basic, std::string_view sender) {
    CamNetParam record{};
    record.basic = basic;
    DecideNetwork(record, sender);
    return record;
}

DevInfoBlock BuildSearch() {
    DevInfoBlock block{};
    block.code = DevInfoBlock::kCodeSearch;
    block.SetCommandName("VidxGet");
    return block;
}

DevInfoBlock Build3gReply(const DevInfoBlock& answer) {
    DevInfoBlock reply = answer;
    reply.code = DevInfoBlock::kCode3g;
    CopyTextField(reply.marker, "3G");
    return reply;
}

DevInfoBlock BuildSet(const DevInfoBlock& block) {
    DevInfoBlock set = block;
    set.StampForSet(DevInfoBlock::kCodeSet);
    return set;
}

DevInfoBlock BuildExtendedSet(const DevInfoBlock& extendedAnswer, const DevInfoExt& ext) {
    DevInfoBlock set = extendedAnswer;
    std::memcpy(reinterpret_cast<uint8_t*>(&set) + DevInfoExt::kOffsetInLanAnswer, &ext,
                sizeof ext);
    set.StampForSet(DevInfoBlock::kCodeSetExtended);
    return set;
}

bool IsDottedIpv4(std::string_view text) {
    int parts = 0;
    size_t i = 0;
    while (true) {
        size_t start = i;
        int value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + (text[i] - '0');
            if (value > 255 || i - start >= 3) {
                return false;
            }
            ++i;
        }
        if (i == start) {
            return false;
        }
        ++parts;
        if (i == text.size()) {
            return parts == 4;
        }
        if (text[i] != '.' || parts == 4) {
            return false;
        }
        ++i;
    }
}

}  // namespace lan
}  // namespace orbisight
