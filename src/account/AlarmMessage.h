#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/Text.h"

namespace orbisight {

// One alarm notification from the account server, kept in the session's
// alarm list and handed to the alarm window.
struct AlarmMessage {
    char deviceId[128];
    char title[128];
    char message[256];
    // Local time of arrival, "DD-MM-YYYY hh:mm:ss".
    char receiveTime[48];

    std::string_view DeviceId() const { return FieldText(deviceId); }
    std::string_view Title() const { return FieldText(title); }
    std::string_view Message() const { return FieldText(message); }
    std::string_view ReceiveTime() const { return FieldText(receiveTime); }
};

static_assert(sizeof(AlarmMessage) == 560);
static_assert(offsetof(AlarmMessage, title) == 128);
static_assert(offsetof(AlarmMessage, message) == 256);
static_assert(offsetof(AlarmMessage, receiveTime) == 512);
static_assert(std::is_trivially_copyable_v<AlarmMessage>);

// A zeroed alarm with the given texts (each cut to its field) and the
// current local time.
AlarmMessage MakeAlarmMessage(std::string_view deviceId, std::string_view title,
                              std::string_view message);
// "%02d-%02d-%4d %02d:%02d:%02d" (day, month, year, hour, minute, second) of
// the current local time.
std::string AlarmTimeText();

}  // namespace orbisight
