#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "QtTestEnvironment.h"
#include "account/DeviceInfo.h"
#include "app/DialogChannel.h"
#include "device/CXOMPDeviceOper.h"
#include "sim/camera/SimCamera.h"

namespace orbisight::testing {

// A dialog that opens its own command channel, against an in-process
// simulated camera.
class CameraDialogFixture : public ::testing::Test {
  protected:
    static constexpr const char* kId = "DLG000000001";

    void StartCamera(const std::string& rf = "", const std::string& fault = "none") {
        nlohmann::json config = {{"id", kId}, {"name", "Garage"}, {"password", "pw"},
                                 {"port", 0}, {"rf", rf},         {"fault", fault}};
        context_.configDir = folder_.Path();
        camera_ =
            sim::SimCamera::Start(config, context_, [](const nlohmann::json&) { return nullptr; });
    }
    void TearDown() override {
        // Dialogs let their channels go; they close behind.
        EXPECT_TRUE(DialogChannel::WaitClosed(10000));
        if (camera_) {
            EXPECT_EQ(camera_->ViolationCount(), 0);
            camera_->Stop();
        }
    }
    DeviceInfo Camera(int port = -1) const {
        auto record = NewDeviceInfo();
        record->SetUrl("ssp://127.0.0.1:" + std::to_string(port < 0 ? camera_->Port() : port));
        record->SetId(kId);
        record->SetUser("admin");
        record->SetPassword("pw");
        return *record;
    }
    static CXOMPDeviceOper::Timings Fast() {
        CXOMPDeviceOper::Timings timings;
        timings.replyTimeoutMs = 2000;
        timings.retryDelayMs = 200;
        return timings;
    }

    TempFolder folder_;
    sim::SimContext context_;
    std::unique_ptr<sim::SimCamera> camera_;
};

}  // namespace orbisight::testing
