// The SD card list text and the recording names from a camera: parsed
// without overruns, and a download path built from them never leaves the
// record folder.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "device/SdFileList.h"

using namespace orbisight;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (auto kind : {SdListKind::kDirectories, SdListKind::kFiles}) {
        for (const auto& item : ParseSdList(text, kind)) {
            if (item.Name().size() >= sizeof item.name || item.ShortName().size() > 8) {
                std::abort();
            }
            InSdTimeWindow(item.Name(), "080000", "170000");
        }
    }
    const std::filesystem::path root = "/record-root";
    auto path = SdDownloadPath(root, text.substr(0, size / 3), text.substr(size / 3, size / 3),
                               text.substr(2 * (size / 3)), false);
    if (path) {
        auto relative = path->lexically_relative(root);
        int parts = 0;
        for (const auto& part : relative) {
            ++parts;
            if (part == ".." || part == "." || part.empty()) {
                std::abort();
            }
        }
        if (parts != 3) {
            std::abort();
        }
    }
    return 0;
}
