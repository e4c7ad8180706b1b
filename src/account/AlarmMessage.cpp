#include "account/AlarmMessage.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace orbisight {

std::string AlarmTimeText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[48];
    std::snprintf(text, sizeof text, "%02d-%02d-%4d %02d:%02d:%02d", local.tm_mday,
                  local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec);
    return text;
}

AlarmMessage MakeAlarmMessage(std::string_view deviceId, std::string_view title,
                              std::string_view message) {
    AlarmMessage alarm;
    std::memset(&alarm, 0, sizeof alarm);
    CopyTextField(alarm.deviceId, deviceId);
    CopyTextField(alarm.title, title);
    CopyTextField(alarm.message, message);
    CopyTextField(alarm.receiveTime, AlarmTimeText());
    return alarm;
}

}  // namespace orbisight
