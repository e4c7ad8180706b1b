#include "device/DevInfoBlock.h"

namespace orbisight {
namespace {

int HexDigitValue(char c) {
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

}  // namespace

bool DevInfoBlock::SetDeviceName(std::string_view text) {
    // The camera keeps at most 18 bytes; a longer name is refused rather
    // than cut, so the user sees why it was not stored.
    if (text.size() > kMaxDeviceNameBytes) {
        return false;
    }
    CopyTextField(deviceName, text);
    return true;
}

int DevInfoBlock::MotionZoneRow(int row) const {
    if (row < 0 || row >= kMotionRows) {
        return 0;
    }
    int value = HexDigitValue(motionZones[row]);
    return value < 0 ? 0 : value;
}

void DevInfoBlock::SetMotionZoneRow(int row, int cells) {
    if (row < 0 || row >= kMotionRows) {
        return;
    }
    motionZones[row] = "0123456789ABCDEF"[cells & 0x0F];
}

bool DevInfoBlock::MotionZoneCell(int row, int column) const {
    if (column < 0 || column >= kMotionColumns) {
        return false;
    }
    return (MotionZoneRow(row) >> column) & 1;
}

void DevInfoBlock::SetMotionZoneCell(int row, int column, bool on) {
    if (column < 0 || column >= kMotionColumns) {
        return;
    }
    int cells = MotionZoneRow(row);
    cells = on ? (cells | (1 << column)) : (cells & ~(1 << column));
    SetMotionZoneRow(row, cells);
}

uint32_t DevInfoBlock::ScheduleWord(int plan, int word) const {
    if (plan < 0 || plan >= kSchedulePlans || word < 0 || word > 1) {
        return 0;
    }
    return recordSchedule[plan * 2 + word];
}

void DevInfoBlock::SetScheduleWord(int plan, int word, uint32_t value) {
    if (plan < 0 || plan >= kSchedulePlans || word < 0 || word > 1) {
        return;
    }
    recordSchedule[plan * 2 + word] = value;
}

void DevInfoBlock::StampForSet(int32_t setCode) {
    code = setCode;
    SetCommandName("VidxSetInfo");
}

}  // namespace orbisight
