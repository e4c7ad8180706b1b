#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "account/DeviceInfo.h"
#include "device/CXOMPDeviceOper.h"
#include "platform/Clock.h"
#include "platform/Notice.h"

namespace orbisight::testing {

// A temporary folder removed at the end of the test.
class TempFolder {
  public:
    TempFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("orbisight-test-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline std::vector<char> RandomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::vector<char> bytes(size);
    for (auto& b : bytes) {
        b = static_cast<char>(generator());
    }
    return bytes;
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<char>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<char> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::unique_ptr<DeviceInfo> CameraRecord(int port, const std::string& id,
                                                const std::string& password,
                                                const std::string& user = "admin") {
    auto record = NewDeviceInfo();
    record->SetUrl("ssp://127.0.0.1:" + std::to_string(port) + ";tutkid://UNUSED");
    record->SetId(id);
    record->SetUser(user);
    record->SetPassword(password);
    record->SetName("test camera");
    return record;
}

// Short waits so failures and retries happen within a test's patience.
inline CXOMPDeviceOper::Timings FastTimings() {
    CXOMPDeviceOper::Timings timings;
    timings.replyTimeoutMs = 2000;
    timings.retryDelayMs = 200;
    return timings;
}

// Notices other than the one waited for, as text, for failure messages.
inline std::string Describe(NoticeQueue& queue) {
    std::string text;
    for (const auto& notice : queue.Drain()) {
        text += std::to_string(notice.message) + "(" + notice.text + ") ";
    }
    return text;
}

}  // namespace orbisight::testing
