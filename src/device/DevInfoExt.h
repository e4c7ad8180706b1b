#pragma once

#include <cstddef>
#include <string_view>
#include <type_traits>

#include "platform/Text.h"

namespace orbisight {

// The camera's 3G/4G settings, 292 bytes: the "DevInfo" value of the
// extended get and set requests. In a LAN extended answer the same bytes
// start at offset 352 of the datagram.
struct DevInfoExt {
    static constexpr int kAlarmNumbers = 4;
    static constexpr size_t kOffsetInLanAnswer = 352;

    char dialUser[40];        // 0
    char dialPassword[40];    // 40
    char apn[108];            // 80
    char dialNumber[24];      // 188
    char alarmNumber[4][20];  // 212, 232, 252, 272

    std::string_view DialUser() const { return FieldText(dialUser); }
    std::string_view DialPassword() const { return FieldText(dialPassword); }
    std::string_view Apn() const { return FieldText(apn); }
    std::string_view DialNumber() const { return FieldText(dialNumber); }
    // index 0..3; other indexes read as empty.
    std::string_view AlarmNumber(int index) const {
        return (index >= 0 && index < kAlarmNumbers) ? FieldText(alarmNumber[index])
                                                     : std::string_view();
    }

    void SetDialUser(std::string_view text) { CopyTextField(dialUser, text); }
    void SetDialPassword(std::string_view text) { CopyTextField(dialPassword, text); }
    void SetApn(std::string_view text) { CopyTextField(apn, text); }
    void SetDialNumber(std::string_view text) { CopyTextField(dialNumber, text); }
    void SetAlarmNumber(int index, std::string_view text) {
        if (index >= 0 && index < kAlarmNumbers) {
            CopyTextField(alarmNumber[index], text);
        }
    }
};

static_assert(sizeof(DevInfoExt) == 292);
static_assert(std::is_trivially_copyable_v<DevInfoExt>);
static_assert(offsetof(DevInfoExt, dialUser) == 0);
static_assert(offsetof(DevInfoExt, dialPassword) == 40);
static_assert(offsetof(DevInfoExt, apn) == 80);
static_assert(offsetof(DevInfoExt, dialNumber) == 188);
static_assert(offsetof(DevInfoExt, alarmNumber) == 212);
static_assert(offsetof(DevInfoExt, alarmNumber) + 20 == 232);
static_assert(offsetof(DevInfoExt, alarmNumber) + 60 == 272);

}  // namespace orbisight
