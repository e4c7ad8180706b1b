// The parameter blocks as a camera (or a LAN datagram) delivers them: any
// bytes must read as text through every member, and writing a member's own
// text back must read the same again. The tail of the input is tried as a
// value for one member.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/DevInfoBlock.h"
#include "device/DevInfoExt.h"
#include "device/DeviceParamMembers.h"

using namespace orbisight;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DevInfoBlock block{};
    DevInfoExt ext{};
    size_t used = std::min(size, sizeof block);
    std::memcpy(&block, data, used);
    size_t extUsed = std::min(size - used, sizeof ext);
    std::memcpy(&ext, data + used, extUsed);
    const uint8_t* rest = data + used + extUsed;
    size_t restSize = size - used - extUsed;

    auto members = ParamMembers();
    for (const auto& member : members) {
        std::string text = GetParamText(member, block, ext);
        if (!SetParamText(member, block, ext, text) && member.type != ParamMember::Type::kText) {
            std::abort();  // a number, MAC, zone or schedule that does not read back
        }
        if (GetParamText(member, block, ext) != text && member.type != ParamMember::Type::kText) {
            std::abort();
        }
    }
    block.MotionZoneCell(1, 2);
    block.ScheduleWord(7, 1);
    block.MailPictureInterval();

    if (restSize > 0) {
        const auto& member = members[rest[0] % members.size()];
        std::string value(reinterpret_cast<const char*>(rest + 1), restSize - 1);
        DevInfoBlock before = block;
        DevInfoExt beforeExt = ext;
        std::string error;
        if (!SetParamText(member, block, ext, value, &error)) {
            if (std::memcmp(&before, &block, sizeof block) != 0 ||
                std::memcmp(&beforeExt, &ext, sizeof ext) != 0) {
                std::abort();  // a refused value changed the block
            }
        }
    }
    return 0;
}
