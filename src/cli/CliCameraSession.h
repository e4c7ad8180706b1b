#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "cli/CliArgs.h"
#include "device/CXOMPDeviceOper.h"
#include "platform/Notice.h"

#include <nlohmann/json.hpp>

namespace orbisight::cli {

// The options every camera command takes.
struct CameraOptions {
    std::string address;  // an address list as stored in a device record
    std::string user = "admin";
    std::string password;
    std::string id;
    int timeoutMs = 5000;
};

// The option names of CameraOptions, for CliArgs::Unknown.
const std::set<std::string>& CameraOptionNames();
// Reads the common options; false (and a message on stderr) when one is
// missing or malformed.
bool ReadCameraOptions(const CliArgs& args, CameraOptions& options);

// A command channel used the way a window uses it: opened in a mode, with
// the notices arriving in a queue that the command waits on.
class CliCameraSession {
  public:
    CliCameraSession(const CameraOptions& options, int mode);
    ~CliCameraSession();

    // Connects and logs in. Returns kExitOk, kExitNoConnection or kExitNoLogin
    // (with the reason on stderr).
    int Open();

    // Waits for one of the wanted notices. Returns kExitOk with it in out;
    // kExitCameraRefused when the camera answered "Ret" other than "1"
    // (notice 13366); kExitNoLogin when nothing came in time. Other notices
    // are skipped. With progress given, the wait restarts whenever it
    // returns true (a download that is still moving).
    int Wait(std::initializer_list<uint32_t> wanted, Notice& out,
             const std::function<bool()>& progress = {});

    CXOMPDeviceOper& Channel() { return channel_; }
    // The "ErrorInfo" of the last refusal, if the camera gave one.
    const std::string& LastError() const { return lastError_; }

  private:
    CameraOptions options_;
    NoticeQueue notices_;
    CXOMPDeviceOper channel_;
    std::string lastError_;
};

// Prints one JSON object on stdout. Texts from a camera that are not valid
// UTF-8 are shown with replacement characters rather than failing.
void PrintJson(const nlohmann::json& value);
void PrintJson(const nlohmann::ordered_json& value);

}  // namespace orbisight::cli
