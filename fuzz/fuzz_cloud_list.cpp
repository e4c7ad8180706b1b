// The cloud server's recording list and a camera's address list: any text
// must parse without a fault; a parsed list written back in the server's
// form must read back the same; the cloud server named by an address list
// always ends in ":5557" and never holds a ";".

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "records/CloudRecords.h"

using namespace orbisight;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    auto list = ParseVideoList(text.data(), text.size());
    std::string again = "<videos>";
    for (const auto& v : list) {
        again += "<video><video_time>" + std::to_string(v.videoTime) + "</video_time><video_type>" +
                 std::to_string(v.videoType) + "</video_type><video_status>" +
                 std::to_string(v.videoStatus) + "</video_status><video_size>" +
                 std::to_string(v.videoSize) + "</video_size></video>";
        (void)VideoRecordName(v);
    }
    again += "</videos>";
    bool ok = false;
    if (ParseVideoList(again.data(), again.size(), &ok) != list || !ok) {
        std::abort();
    }
    std::string server = CloudServerFromAddressList(text);
    if (!server.empty() && (server.size() < 6 || server.substr(server.size() - 5) != ":5557" ||
                            server.find(';') != std::string::npos)) {
        std::abort();
    }
    return 0;
}
