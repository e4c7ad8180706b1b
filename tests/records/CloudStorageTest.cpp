// The cloud-storage client library as the program loads it, against the
// simulated cloud storage server. Each test has a loopback address of its
// own: the server's port is fixed.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ProgramFiles.h"
#include "platform/Socket.h"
#include "records/CloudConnection.h"
#include "records/CloudStorageLibrary.h"
#include "records/cloud/CloudWire.h"
#include "sim/cloud/SimCloudServer.h"
#include "tests/device/ProcessRunner.h"

namespace orbisight {
namespace {

namespace fs = std::filesystem;
constexpr const char* kCamera = "ORBI00000001";

std::string BinDir() {
    const char* dir = std::getenv("ORBISIGHT_BIN_DIR");
    return dir != nullptr ? dir : ORBISIGHT_BIN_DIR;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every file below a folder (temporary ones included).
std::vector<fs::path> FilesBelow(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) {
            files.push_back(it->path());
        }
    }
    return files;
}

class CloudStorage : public ::testing::Test {
  protected:
    void Start(const std::string& host, nlohmann::json config = nlohmann::json::object()) {
        host_ = host;
        config["host"] = host;
        config["port"] = sim::SimCloudServer::kDefaultPort;
        server_ = sim::SimCloudServer::Start(config, nullptr);
        std::string error;
        library_ = CloudStorageLibrary::Load(BinDir() + "/libRK_ORBCSClient.so", error);
        ASSERT_TRUE(library_) << error;
        ASSERT_EQ(library_->Init("/tmp/"), ORBCS_OK);
        folder_ =
            fs::temp_directory_path() / ("cloud-test-" + std::to_string(::getpid()) + "-" + host);
        fs::remove_all(folder_);
    }
    void TearDown() override {
        if (server_) {
            server_->Stop();
        }
        fs::remove_all(folder_);
    }
    std::string Param(int timeout = kCloudTimeoutSeconds) const {
        return ConnectParamText(host_ + ":5557", timeout);
    }
    VideoInfo Add(int32_t time, int32_t type, size_t size, int32_t status = 1) {
        server_->Store().Add(kCamera, time, type, status,
                             sim::SimCloudStore::Pattern(size, static_cast<uint32_t>(time)));
        return VideoInfo{time, type, status, static_cast<int32_t>(size)};
    }
    std::string ServerBytes(const VideoInfo& v) {
        sim::SimCloudRecording r;
        EXPECT_TRUE(server_->Store().Get(kCamera, v.videoTime, v.videoType, r));
        return r.bytes ? *r.bytes : std::string();
    }

    std::string host_;
    std::unique_ptr<sim::SimCloudServer> server_;
    std::unique_ptr<CloudStorageLibrary> library_;
    fs::path folder_;
    std::vector<std::string> statuses_;
    CloudConnection::Status status_ = [this](const std::string& s) { statuses_.push_back(s); };
};

TEST(CloudLibraryLoad, MissingFileOrFunctionMakesCloudStorageUnavailable) {
    std::string error;
    EXPECT_EQ(CloudStorageLibrary::Load("/nonexistent/libRK_ORBCSClient.so", error), nullptr);
    EXPECT_NE(error.find("/nonexistent/libRK_ORBCSClient.so"), std::string::npos) << error;

    // Thirteen of the fourteen functions: refused, and nothing was called.
    std::string incomplete = BinDir() + "/libincomplete_cloud.so";
    error.clear();
    EXPECT_EQ(CloudStorageLibrary::Load(incomplete, error), nullptr);
    EXPECT_NE(error.find("GORBCSlient_Release_Data"), std::string::npos) << error;
    void* handle = dlopen(incomplete.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);
    auto* calls = static_cast<int*>(dlsym(handle, "incomplete_calls"));
    ASSERT_NE(calls, nullptr);
    EXPECT_EQ(*calls, 0);
    dlclose(handle);

    // The real one has all fourteen.
    error.clear();
    EXPECT_NE(CloudStorageLibrary::Load(BinDir() + "/libRK_ORBCSClient.so", error), nullptr)
        << error;
}

TEST(CloudLibraryLoad, EnvironmentNamesTheFileElseTheProgramFolder) {
    setenv(CloudStorageLibrary::kEnvironment, "/opt/other/libcloud.so", 1);
    EXPECT_EQ(CloudStorageLibrary::DefaultPath(), "/opt/other/libcloud.so");
    unsetenv(CloudStorageLibrary::kEnvironment);
    EXPECT_EQ(CloudStorageLibrary::DefaultPath(),
              CloudStorageLibrary::ProgramFolder() + "libRK_ORBCSClient.so");
    EXPECT_EQ(CloudStorageLibrary::ProgramFolder().back(), '/');
}

// An installed program has no library beside it: the one of the installed
// tree (relative to the program's folder) is taken, from any working
// directory; a library beside the program (the build folder) comes first.
TEST(CloudLibraryLoad, InstalledTreeIsSearchedAfterTheProgramFolder) {
    char pattern[] = "/tmp/orbisight-cloudlib-XXXXXX";
    fs::path prefix = ::mkdtemp(pattern);
    fs::path bin = prefix / "bin";
    fs::path installed = InstalledLibraryFolder(bin) / CloudStorageLibrary::kFileName;
    ASSERT_EQ(installed.string().rfind(prefix.string() + "/", 0), 0u) << installed;
    fs::create_directories(bin);
    fs::create_directories(installed.parent_path());
    fs::copy_file(BinDir() + "/libRK_ORBCSClient.so", installed);

    // Neither the current directory nor a relative path plays a part.
    fs::path before = fs::current_path();
    fs::current_path(prefix);
    std::string found = CloudStorageLibrary::PathFor(bin.string() + "/");
    fs::current_path(before);
    EXPECT_EQ(found, installed.string());
    std::string error;
    EXPECT_NE(CloudStorageLibrary::Load(found, error), nullptr) << error;

    fs::copy_file(installed, bin / CloudStorageLibrary::kFileName);
    EXPECT_EQ(CloudStorageLibrary::PathFor(bin.string() + "/"),
              (bin / CloudStorageLibrary::kFileName).string());

    // Neither there: the error names the place beside the program.
    fs::remove(bin / CloudStorageLibrary::kFileName);
    fs::remove(installed);
    EXPECT_EQ(CloudStorageLibrary::PathFor(bin.string() + "/"),
              (bin / CloudStorageLibrary::kFileName).string());

    // An unknown program folder finds nothing (a library file in the
    // working directory is not loaded).
    EXPECT_EQ(CloudStorageLibrary::PathFor(""), "");
    error.clear();
    EXPECT_EQ(CloudStorageLibrary::Load("", error), nullptr);
    EXPECT_NE(error.find("folder is unknown"), std::string::npos) << error;
    std::error_code ec;
    fs::remove_all(prefix, ec);
}

TEST_F(CloudStorage, QueryShowsItsStatusesInOrderAndDownloadIsByteForByte) {
    Start("127.0.57.1");
    VideoInfo a = Add(1000, 1, 300000);
    VideoInfo b = Add(1500, 3, 0);  // an empty file is a file too
    server_->Store().Add(kCamera, 1200, 4, 1, sim::SimCloudStore::MakeContent(4, kCamera, 0));
    Add(5000, 1, 10);  // outside the window
    server_->Store().Add("OTHER", 1100, 1, 1, sim::SimCloudStore::Pattern(5, 1));

    CloudConnection connection(*library_);
    ASSERT_TRUE(connection.Open(Param(), kCamera, status_));
    auto result = connection.Query(900, 2000, status_);
    ASSERT_TRUE(result.ok) << result.error;
    std::vector<std::string> expected = {
        "Connecting to Cloud Server...", "Connect to Cloud Server..", "Connected to Cloud Server!",
        "Querying Video Info...",        "Find 3 video record...",    "Find 3 video records..."};
    EXPECT_EQ(statuses_, expected);
    ASSERT_EQ(result.videos.size(), 3u);
    EXPECT_EQ(result.videos[0], a);
    EXPECT_EQ(result.videos[2], b);
    EXPECT_EQ(result.videos[1].videoType, 4);
    EXPECT_EQ(connection.ConnectParam(), Param());

    statuses_.clear();
    fs::path target = folder_ / "a" / "b" / "one.264";
    std::string error;
    ASSERT_TRUE(connection.Download(a, target, status_, error)) << error;
    EXPECT_EQ(ReadFile(target), ServerBytes(a));
    EXPECT_EQ(connection.LastFile(), target);
    EXPECT_EQ(statuses_, (std::vector<std::string>{"Downloading video file...",
                                                   "Download video file complete!"}));
    // The MP4 and the empty file come through as well.
    ASSERT_TRUE(connection.Download(result.videos[1], folder_ / "m.mp4", status_, error)) << error;
    EXPECT_EQ(ReadFile(folder_ / "m.mp4").substr(4, 4), "ftyp");
    ASSERT_TRUE(connection.Download(b, folder_ / "e.jpg", status_, error)) << error;
    EXPECT_EQ(fs::file_size(folder_ / "e.jpg"), 0u);
    EXPECT_EQ(server_->Violations().Count(), 0);
}

TEST_F(CloudStorage, RefusedLoginAndMissingServerFailTheConnection) {
    Start("127.0.57.2", {{"password", "secret"}});
    CloudConnection refused(*library_);
    EXPECT_FALSE(refused.Open(Param(), kCamera, status_));
    EXPECT_EQ(statuses_,
              (std::vector<std::string>{
                  "Connecting to Cloud Server...", "Connect to Cloud Server..", "NetWork error...",
                  "Connnected to Cloud Server failed, please try it again later!"}));
    EXPECT_EQ(refused.LastError(), ORBCS_E_REFUSED);
    EXPECT_FALSE(refused.IsConnected());

    // Nobody listening on that address.
    CloudConnection nobody(*library_);
    EXPECT_FALSE(nobody.Open(ConnectParamText("127.0.57.99:5557", 2), kCamera, status_));
    EXPECT_EQ(nobody.LastError(), ORBCS_E_CONNECT);
}

TEST_F(CloudStorage, EmptyWindowFindsNothing) {
    Start("127.0.57.5");
    Add(5000, 1, 10);
    CloudConnection connection(*library_);
    ASSERT_TRUE(connection.Open(Param(), kCamera, status_));
    auto result = connection.Query(0, 4999, status_);
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.videos.empty());
    ASSERT_GE(statuses_.size(), 2u);
    EXPECT_EQ(statuses_.back(), "0 video files found...");
    EXPECT_EQ(statuses_[statuses_.size() - 2], "Find 0 video record...");
    // The window's ends are inclusive.
    EXPECT_EQ(connection.Query(5000, 5000, status_).videos.size(), 1u);
}

struct FaultCase {
    const char* name;
    sim::SimCloudFault fault;
    const char* host;
    const char* reason;  // part of the status after the failure text
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class CloudFault : public CloudStorage, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CloudFault, DownloadFailsWithItsReasonAndLeavesNoFile) {
    const FaultCase& c = GetParam();
    Start(c.host);
    VideoInfo video = Add(1000, 1, 200000);
    CloudConnection connection(*library_);
    // A short read time-out, so that the stall ends quickly.
    ASSERT_TRUE(connection.Open(Param(1), kCamera, status_));
    ASSERT_TRUE(connection.Query(0, 2000, status_).ok);
    server_->SetFault(c.fault);
    statuses_.clear();
    std::string error;
    fs::path target = folder_ / "cam" / "x.264";
    EXPECT_FALSE(connection.Download(video, target, status_, error));
    ASSERT_FALSE(statuses_.empty());
    EXPECT_EQ(statuses_.front(), "Downloading video file...");
    EXPECT_EQ(statuses_.back().rfind("Download video file failed! (", 0), 0u) << statuses_.back();
    EXPECT_NE(statuses_.back().find(c.reason), std::string::npos) << statuses_.back();
    EXPECT_TRUE(FilesBelow(folder_).empty());

    // Nothing left half-way: a retry after the fault works.
    server_->SetFault(sim::SimCloudFault::kNone);
    if (!connection.IsConnected()) {
        ASSERT_TRUE(connection.Open(Param(), kCamera, status_));
    }
    ASSERT_TRUE(connection.Download(video, target, status_, error)) << error;
    EXPECT_EQ(ReadFile(target), ServerBytes(video));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CloudFault,
    ::testing::Values(FaultCase{"Drop", sim::SimCloudFault::kDrop, "127.0.57.10",
                                "connection was lost"},
                      FaultCase{"WrongSize", sim::SimCloudFault::kWrongSize, "127.0.57.11",
                                "the server declares 200512 bytes, the list says 200000"},
                      FaultCase{"Oversize", sim::SimCloudFault::kOversize, "127.0.57.12",
                                "more data than declared"},
                      FaultCase{"Stall", sim::SimCloudFault::kStall, "127.0.57.13", "time-out"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CloudStorage, LibraryChecksSizesAndLimitsAtTheEdge) {
    Start("127.0.57.3");
    VideoInfo video = Add(1000, 1, 5000);
    const auto& api = library_->Api();
    ORBCS_HANDLE h = nullptr;
    ASSERT_EQ(api.create(&h), ORBCS_OK);
    ASSERT_EQ(api.connect(h, Param().c_str(), kCloudUser, plovt, kCamera), ORBCS_OK);
    int size = 0;
    int status = 0;
    int token = 0;
    ASSERT_EQ(api.downloadInfoVideo(h, video.videoTime, video.videoType, &size, &status, &token),
              ORBCS_OK);
    EXPECT_EQ(size, 5000);
    EXPECT_EQ(status, 1);

    // The declared size is 512 bytes more than the server then sends.
    server_->SetFault(sim::SimCloudFault::kWrongSize);
    ASSERT_EQ(api.downloadInfoVideo(h, video.videoTime, video.videoType, &size, &status, &token),
              ORBCS_OK);
    EXPECT_EQ(size, 5512);
    int unused = -1;
    char* data = reinterpret_cast<char*>(1);
    int length = -1;
    EXPECT_EQ(api.downloadDataVideo(h, token, video.videoTime, video.videoType, 0, size, &unused,
                                    &data, &length),
              ORBCS_E_SIZE_MISMATCH);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(api.isConnect(h), 0);  // the stream is given up
    server_->SetFault(sim::SimCloudFault::kNone);

    ASSERT_EQ(api.connect(h, Param().c_str(), kCloudUser, plovt, kCamera), ORBCS_OK);
    // A size the server does not have is refused by it; the connection stays.
    EXPECT_EQ(api.downloadDataVideo(h, token, video.videoTime, video.videoType, 0, 4999, &unused,
                                    &data, &length),
              ORBCS_E_REFUSED);
    EXPECT_NE(api.isConnect(h), 0);
    EXPECT_EQ(server_->Violations().Count(), 1);
    EXPECT_EQ(api.downloadInfoVideo(h, 1, 1, &size, &status, &token), ORBCS_E_NOT_FOUND);

    // Condition texts: 1024 characters are sent (the server finds no
    // condition in them), 1025 are refused before anything is sent.
    int count = 0;
    std::string longest(1024, 'x');
    EXPECT_EQ(api.queryCountVideo(h, longest.c_str(), &count), ORBCS_E_REFUSED);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(server_->Violations().Count(), 2);
    std::string tooLong(1025, 'x');
    EXPECT_EQ(api.queryCountVideo(h, tooLong.c_str(), &count), ORBCS_E_ARGUMENT);
    EXPECT_EQ(server_->Violations().Count(), 2);

    // The connect text: a port of 65535 is taken, 65536 is not.
    EXPECT_EQ(api.connect(h, "AddrRemote[=]127.0.57.3:65536[|]", kCloudUser, plovt, kCamera),
              ORBCS_E_ARGUMENT);
    EXPECT_EQ(api.connect(h, "AddrRemote[=]127.0.57.3:65535[|]TOConnect[=]2[|]", kCloudUser, plovt,
                          kCamera),
              ORBCS_E_CONNECT);
    EXPECT_EQ(api.connect(h, "TOConnect[=]60[|]", kCloudUser, plovt, kCamera), ORBCS_E_ARGUMENT);
    EXPECT_EQ(api.destroy(h), ORBCS_OK);
}

TEST_F(CloudStorage, ServerValidatesWhatItReceives) {
    Start("127.0.57.4");
    using namespace cloudwire;
    int socket = ConnectTcp("127.0.57.4", 5557, 2000);
    ASSERT_GE(socket, 0);
    auto send = [&](uint16_t type, const std::string& body) {
        uint8_t raw[kHeaderSize];
        Header h;
        h.type = type;
        h.length = static_cast<uint32_t>(body.size());
        EncodeHeader(h, raw);
        std::string frame(reinterpret_cast<char*>(raw), kHeaderSize);
        frame += body;
        return SendAll(2000, static_cast<int>(frame.size()), socket, frame.data());
    };
    auto reply = [&](Header& h) {
        uint8_t raw[kHeaderSize];
        if (ReceiveExact(2000, socket, kHeaderSize, raw) != int(kHeaderSize) ||
            !DecodeHeader(raw, h)) {
            return false;
        }
        std::string body(h.length, '\0');
        return h.length == 0 ||
               ReceiveExact(2000, socket, int(h.length), body.data()) == int(h.length);
    };
    Header h;
    // Before the login nothing is answered but "not logged in".
    ASSERT_GT(send(kCount, std::string("video\0video_time >= 1 and video_time <= 2\0", 43)), 0);
    ASSERT_TRUE(reply(h));
    EXPECT_EQ(h.type, kCount | kReplyBit);
    EXPECT_EQ(h.status, kStatusNotLoggedIn);
    // A body of exactly the limit is read (and refused as malformed).
    ASSERT_GT(send(kHello, std::string(kMaxRequestBody, 'a')), 0);
    ASSERT_TRUE(reply(h));
    EXPECT_EQ(h.status, kStatusBadRequest);
    EXPECT_EQ(server_->Violations().Count(), 1);
    // One byte more closes the connection.
    ASSERT_GT(send(kHello, std::string(kMaxRequestBody + 1, 'a')), 0);
    EXPECT_FALSE(reply(h));
    EXPECT_EQ(server_->Violations().Count(), 2);
    EXPECT_NE(server_->Violations().Recent().back().find("4097"), std::string::npos);
    CloseSocket(socket);
}

TEST_F(CloudStorage, CommandLineListsAndDownloadsThroughTheLibrary) {
    using orbisight::testing::RunProgram;
    Start("127.0.57.6");
    int32_t when = static_cast<int32_t>(LocalTimeOf(2026, 12, 9, 9 * 3600 + 30 * 60));
    VideoInfo video = Add(when, 1, 70000);
    Add(when + 60, 3, 10);
    const std::string cli = BinDir() + "/orbisight-cli";
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), cli);
        return RunProgram(args);
    };
    auto list = run({"cloud-list", "--id", kCamera, "--date", "20261209", "--server",
                     "127.0.57.6:5557", "--quiet"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    std::string name = VideoRecordName(video);
    EXPECT_EQ(list.out.substr(0, list.out.find('\n')),
              "{\"name\":\"" + name + "\",\"size\":70000,\"status\":1,\"time\":" +
                  std::to_string(when) + ",\"type\":1}");
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 2);
    // The window: only the first.
    list = run({"cloud-list", "--id", kCamera, "--date", "20261209", "--from", "093000", "--to",
                "093059", "--server", "127.0.57.6:5557", "--quiet"});
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 1) << list.out;

    auto get = run({"cloud-get", "--id", kCamera, "--name", name, "--out", folder_.string(),
                    "--server", "127.0.57.6:5557"});
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(ReadFile(folder_ / name), ServerBytes(video));
    EXPECT_NE(get.err.find("cloud: Download video file complete!"), std::string::npos) << get.err;

    // A fault: exit 6, no file.
    server_->SetFault(sim::SimCloudFault::kOversize);
    fs::remove(folder_ / name);
    get = run({"cloud-get", "--id", kCamera, "--name", name, "--out", folder_.string(), "--server",
               "127.0.57.6:5557", "--quiet"});
    EXPECT_EQ(get.exitCode, 6) << get.err;
    EXPECT_TRUE(FilesBelow(folder_).empty());

    // Bad input is refused before anything is sent.
    uint64_t accepted = server_->Accepted();
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"cloud-list", "--date", "20261209"},
             {"cloud-list", "--id", kCamera, "--date", "20260230"},
             {"cloud-list", "--id", kCamera, "--date", "20261209", "--from", "240000"},
             {"cloud-list", "--id", kCamera, "--date", "20261209", "--server", "127.0.0.1:65536"},
             {"cloud-list", "--id", kCamera, "--date", "20261209", "--timeout", "0"},
             {"cloud-get", "--id", kCamera, "--name", "../x.264", "--out", "/tmp"},
             {"cloud-get", "--id", kCamera, "--name", name}}) {
        auto result = run(bad);
        EXPECT_EQ(result.exitCode, 2) << bad[1] << " " << result.err;
        EXPECT_FALSE(result.err.empty());
    }
    EXPECT_EQ(server_->Accepted(), accepted);
    // The last accepted values of those limits.
    EXPECT_EQ(
        run({"cloud-list", "--id", kCamera, "--date", "20261209", "--server", "127.0.57.6:5557",
             "--timeout", "3600", "--from", "000000", "--to", "235959", "--quiet"})
            .exitCode,
        0);

    // Without the library: exit 7, nothing sent.
    setenv(CloudStorageLibrary::kEnvironment, (BinDir() + "/libincomplete_cloud.so").c_str(), 1);
    auto missing =
        run({"cloud-list", "--id", kCamera, "--date", "20261209", "--server", "127.0.57.6:5557"});
    unsetenv(CloudStorageLibrary::kEnvironment);
    EXPECT_EQ(missing.exitCode, 7);
    EXPECT_NE(missing.err.find("GORBCSlient_Release_Data"), std::string::npos) << missing.err;
}

// The server's made-up ".mp4", ".avi" and ".ts" recordings are real
// containers of H.264 pictures, so the record manager's player shows them.
TEST(CloudStoreContent, ContainerRecordingsHoldPlayableVideo) {
    if (::access("/usr/bin/ffprobe", X_OK) != 0) {
        GTEST_SKIP() << "ffprobe is not installed";
    }
    fs::path folder =
        fs::temp_directory_path() / ("orbisight-cloud-mux-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::pair<int, const char*> types[] = {{4, "mp4"}, {2, "avi"}, {5, "ts"}};
    for (const auto& [type, extension] : types) {
        SCOPED_TRACE(extension);
        auto bytes = sim::SimCloudStore::MakeContent(type, kCamera, 0);
        ASSERT_TRUE(bytes);
        fs::path file = folder / (std::string("clip.") + extension);
        {
            std::ofstream out(file, std::ios::binary);
            out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
        }
        testing::ProcessResult probe = testing::RunProgram(
            {"/usr/bin/ffprobe", "-v", "error", "-select_streams", "v:0", "-count_frames",
             "-show_entries", "stream=codec_name,width,height,nb_read_frames", "-of",
             "default=noprint_wrappers=1", file.string()});
        EXPECT_EQ(probe.exitCode, 0) << probe.err;
        EXPECT_NE(probe.out.find("codec_name=h264"), std::string::npos) << probe.out;
        EXPECT_NE(probe.out.find("width=320"), std::string::npos) << probe.out;
        EXPECT_NE(probe.out.find("height=180"), std::string::npos) << probe.out;
        // Four seconds at ten pictures a second, every one of them readable.
        EXPECT_NE(probe.out.find("nb_read_frames=40"), std::string::npos) << probe.out;
        EXPECT_TRUE(probe.err.empty()) << probe.err;
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
}

}  // namespace
}  // namespace orbisight
