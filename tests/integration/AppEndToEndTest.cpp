// End to end: the real client under Xvfb against simulated cameras, driven
// by ORBISIGHT_AUTOMATION. Four cameras connected show moving pictures (two
// screenshots a few seconds apart), loop play rotates cameras through the
// wall, the panel's sound button plays a camera's tone through the WAV
// backend, and its Record and Snap buttons leave a recording that plays
// back and a picture beside it.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#if defined(ORBISIGHT_HAVE_XCB)
#include <xcb/xcb.h>
#endif

#include "ClientProcess.h"
#include "account/SessionLists.h"
#include "app/WallLayout.h"
#include "media/WavFile.h"
#include "sim/camera/CameraSimulator.h"

namespace orbisight {
namespace {
namespace fs = std::filesystem;
using namespace orbisight::e2e;

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 800;

TEST(AppEndToEnd, FourCamerasShowMovingPictures) {
    if (!OnPath("xvfb-run") || !OnPath("Xvfb")) {
        GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb): the end-to-end test needs a "
                        "virtual X server";
    }
    fs::path client = fs::path(ORBISIGHT_BIN_DIR) / "orbisight";
    ASSERT_TRUE(fs::exists(client)) << client;

    // Four simulated cameras on ephemeral ports, in this process.
    nlohmann::json config = {{"cameras", nlohmann::json::array()}};
    const char* names[] = {"Front Door", "Garage", "Backyard", "Office"};
    for (int i = 0; i < 4; ++i) {
        config["cameras"].push_back({{"id", "E2E0000000" + std::to_string(i + 1)},
                                     {"name", names[i]},
                                     {"user", "admin"},
                                     {"password", "admin"},
                                     {"port", 0}});
    }
    sim::SimContext context;
    sim::SimServices cameras = sim::StartCameraSimulators(config, context);
    ASSERT_EQ(context.cameraPorts.size(), 4u);
    ASSERT_TRUE(WarmClips(cameras)) << "the simulated cameras' clips were not ready";

    fs::path work = NewEndToEndFolder();
    fs::path home = work / "home";
    {
        SessionLists lists(home / LocalDeviceStore::kFileName);
        for (const auto& [id, port] : context.cameraPorts) {
            int index = id.back() - '1';
            lists.AddLocalDevice(id, "127.0.0.1:" + std::to_string(port), names[index], "admin", 0);
        }
    }
    fs::path first = work / "first.png";
    fs::path second = work / "second.png";
    // Pictures are compared once every pane plays, however slow the build.
    fs::path trace = work / "trace.txt";
    std::string script = "trace=" + trace.string() +
                         ";at=1;connect-all;wait-playing;wait=1;screenshot=" + first.string() +
                         ";wait=2;screenshot=" + second.string() + ";quit";
    // However slow the build, the script's own waits decide; the run as a
    // whole has a generous limit.
    ClientRun run(SpawnClient(home, work / "user", script, kScreenWidth, kScreenHeight));
    ASSERT_TRUE(run.Started());
    int status = run.Finish();
    for (auto& camera : cameras) {
        camera->Stop();
    }
    EXPECT_EQ(status, 0) << "the client ends normally after the script";
    for (const std::string& line : ReadLines(trace)) {
        EXPECT_NE(line.rfind("hold: ", 0), 0u) << "a waiting step gave up: " << line;
    }

    QImage a(QString::fromStdString(first.string()));
    QImage b(QString::fromStdString(second.string()));
    ASSERT_FALSE(a.isNull()) << "no first screenshot";
    ASSERT_FALSE(b.isNull()) << "no second screenshot";
    ASSERT_EQ(a.size(), b.size());

    // Four cameras connected: the wall grew to 3 x 3 for the next free pane.
    WallLayout wall;
    ASSERT_TRUE(wall.SetLayout(3, true, {}));
    auto panes = wall.Placements(a.width(), a.height());
    ASSERT_EQ(panes.size(), 9u);
    QRect idle = PictureArea(panes[8].rect);
    for (int slot = 0; slot < 4; ++slot) {
        QRect area = PictureArea(panes[slot].rect);
        double moving = ChangedShare(a, b, area);
        EXPECT_GT(moving, 0.02) << "pane " << slot << " shows no moving picture";
        QRect sameSize(idle.topLeft(), area.size().boundedTo(idle.size()));
        QRect own(area.topLeft(), sameSize.size());
        QImage ownPart = b.copy(own);
        QImage idlePart = b.copy(sameSize);
        double different = ChangedShare(ownPart, idlePart, QRect(QPoint(0, 0), own.size()));
        EXPECT_GT(different, 0.3) << "pane " << slot << " looks like an idle pane";
    }
    EXPECT_LT(ChangedShare(a, b, idle), 0.01) << "the idle pane stays still";
    RemoveUnlessFailed(work, HasFailure());
}

// Loop play through its dialog, one picture per screen, over three
// simulated cameras: the single pane shows them in turn, wrapping round,
// with the slide period shortened for the run.
TEST(AppEndToEnd, LoopPlayRotatesTheCamerasThroughTheWall) {
    if (!OnPath("xvfb-run") || !OnPath("Xvfb")) {
        GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb): the end-to-end test needs a "
                        "virtual X server";
    }
    nlohmann::json config = {{"cameras", nlohmann::json::array()}};
    const std::vector<std::string> ids = {"LOOP00000001", "LOOP00000002", "LOOP00000003"};
    for (const std::string& id : ids) {
        config["cameras"].push_back(
            {{"id", id}, {"name", "Loop"}, {"user", "admin"}, {"password", "admin"}, {"port", 0}});
    }
    sim::SimContext context;
    sim::SimServices cameras = sim::StartCameraSimulators(config, context);
    ASSERT_EQ(context.cameraPorts.size(), 3u);
    ASSERT_TRUE(WarmClips(cameras)) << "the simulated cameras' clips were not ready";

    fs::path work = NewEndToEndFolder();
    fs::path home = work / "home";
    {
        SessionLists lists(home / LocalDeviceStore::kFileName);
        for (const auto& [id, port] : context.cameraPorts) {
            lists.AddLocalDevice(id, "127.0.0.1:" + std::to_string(port), "Loop " + id.substr(11),
                                 "admin", 0);
        }
    }
    fs::path trace = work / "trace.txt";
    fs::path done = work / "done";
    std::string script = "trace=" + trace.string() +
                         ";at=1;wait-online=3;loop-play=1;wait-file=" + done.string() + ";quit";
    // Long enough for each camera to connect within its slide on a loaded
    // two-core machine.
    ClientRun run(SpawnClient(home, work / "user", script, kScreenWidth, kScreenHeight,
                              {"ORBISIGHT_LOOP_SLIDE_MS=8000"}));
    ASSERT_TRUE(run.Started());

    // Four screens: the three cameras and the first again.
    std::vector<std::string> screens;
    size_t from = 0;
    while (screens.size() < 4) {
        int at = WaitForLine(run, trace, from,
                             [](const std::string& line) { return line.rfind("loop: ", 0) == 0; });
        if (at < 0) {
            break;
        }
        screens.push_back(ReadLines(trace)[static_cast<size_t>(at)].substr(6));
        from = static_cast<size_t>(at) + 1;
    }
    std::ofstream(done) << "go";
    int status = run.Finish();
    for (auto& camera : cameras) {
        camera->Stop();
    }
    EXPECT_EQ(status, 0) << "the client ends normally after the script";
    EXPECT_EQ(screens, (std::vector<std::string>{ids[0], ids[1], ids[2], ids[0]}));

    // What the panes showed: slot 0 connected each camera in the loop's
    // order, and no other pane was used.
    std::vector<std::string> connected;
    for (const std::string& line : ReadLines(trace)) {
        EXPECT_NE(line.rfind("hold: ", 0), 0u) << "a waiting step gave up: " << line;
        char id[64] = {0};
        char state[32] = {0};
        int slot = -1;
        if (std::sscanf(line.c_str(), "pane: %d %63s %31s", &slot, id, state) == 3 &&
            std::string(state) == "connected") {
            EXPECT_EQ(slot, 0) << line;
            if (connected.empty() || connected.back() != id) {
                connected.emplace_back(id);
            }
        }
    }
    ASSERT_GE(connected.size(), 3u) << "the cameras did not connect in turn";
    EXPECT_EQ(std::vector<std::string>(connected.begin(), connected.begin() + 3),
              (std::vector<std::string>{ids[0], ids[1], ids[2]}));
    RemoveUnlessFailed(work, HasFailure());
}

// One simulated camera in a fresh data folder's local list.
struct OneCamera {
    sim::SimContext context;
    sim::SimServices cameras;
    fs::path work;
    fs::path home;
    std::string id;

    explicit OneCamera(const std::string& cameraId) : id(cameraId) {
        nlohmann::json config = {{"cameras", nlohmann::json::array()}};
        config["cameras"].push_back(
            {{"id", id}, {"name", "Porch"}, {"user", "admin"}, {"password", "admin"}, {"port", 0}});
        cameras = sim::StartCameraSimulators(config, context);
        work = NewEndToEndFolder();
        home = work / "home";
        SessionLists lists(home / LocalDeviceStore::kFileName);
        for (const auto& [cameraId, port] : context.cameraPorts) {
            lists.AddLocalDevice(cameraId, "127.0.0.1:" + std::to_string(port), "Porch", "admin",
                                 0);
        }
    }
    ~OneCamera() {
        for (auto& camera : cameras) {
            camera->Stop();
        }
    }
    bool Ready() { return context.cameraPorts.size() == 1 && WarmClips(cameras); }
};

std::vector<fs::path> FilesEndingWith(const fs::path& folder, const std::string& ending) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (it->is_regular_file() && name.size() >= ending.size() &&
            name.compare(name.size() - ending.size(), ending.size(), ending) == 0) {
            files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The share of a signal's energy at one frequency (Goertzel over the
// window), 0..1: near 1 for a clean tone.
double ToneShare(const std::vector<double>& x, int rate, double hz) {
    double w = 2.0 * M_PI * hz / rate;
    double coeff = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0, energy = 0;
    for (double v : x) {
        double s0 = v + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += v * v;
    }
    double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return energy > 0 ? 2.0 * power / (static_cast<double>(x.size()) * energy) : 0.0;
}

// Sound from the window: the panel's sound button on the camera's pane
// plays its stream through the WAV backend, and what was written is the
// simulated camera's 1000 Hz tone.
TEST(AppEndToEnd, ListeningToACameraPlaysItsTone) {
    if (!OnPath("xvfb-run") || !OnPath("Xvfb")) {
        GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb): the end-to-end test needs a "
                        "virtual X server";
    }
    OneCamera camera("SOUND0000001");
    ASSERT_TRUE(camera.Ready()) << "the simulated camera's clip was not ready";
    fs::path sound = camera.work / "sound";
    fs::create_directories(sound);
    fs::path trace = camera.work / "trace.txt";
    std::string script = "trace=" + trace.string() +
                         ";at=1;connect-all;wait-playing;select=0;panel=1033;wait=4;panel=1033;"
                         "wait=1;quit";
    ClientRun run(SpawnClient(camera.home, camera.work / "user", script, kScreenWidth,
                              kScreenHeight, {"ORBISIGHT_AUDIO=wav:" + sound.string()}));
    ASSERT_TRUE(run.Started());
    EXPECT_EQ(run.Finish(), 0) << "the client ends normally after the script";
    for (const std::string& line : ReadLines(trace)) {
        EXPECT_NE(line.rfind("hold: ", 0), 0u) << "a waiting step gave up: " << line;
    }

    std::vector<fs::path> written = FilesEndingWith(sound, ".wav");
    ASSERT_FALSE(written.empty()) << "nothing was played through the backend";
    WavData best;
    for (const fs::path& file : written) {
        WavData wav;
        std::string error;
        ASSERT_TRUE(ReadWavFile(file.string(), wav, error)) << file << ": " << error;
        if (wav.Frames() > best.Frames()) {
            best = std::move(wav);
        }
    }
    ASSERT_GT(best.sampleRate, 0);
    ASSERT_GE(best.Frames(), static_cast<size_t>(best.sampleRate))
        << "less than a second of sound in four seconds of listening";
    // The middle second, channels averaged.
    std::vector<double> mono;
    size_t from = best.Frames() / 2 - static_cast<size_t>(best.sampleRate) / 2;
    for (size_t f = from; f < from + static_cast<size_t>(best.sampleRate); ++f) {
        double sum = 0;
        for (int c = 0; c < best.channels; ++c) {
            sum += best.samples[f * static_cast<size_t>(best.channels) + static_cast<size_t>(c)];
        }
        mono.push_back(sum / best.channels);
    }
    double rms = 0;
    for (double v : mono) {
        rms += v * v;
    }
    rms = std::sqrt(rms / static_cast<double>(mono.size()));
    EXPECT_GT(rms, 300.0) << "the sound written is (nearly) silent";
    EXPECT_GT(ToneShare(mono, best.sampleRate, 1000.0), 0.8) << "not the camera's 1000 Hz tone";
    EXPECT_LT(ToneShare(mono, best.sampleRate, 1500.0), 0.05);
    RemoveUnlessFailed(camera.work, HasFailure());
}

// Recording and a snapshot from the window: the panel's Record button
// records for a few seconds into the camera's folder under the record
// folder, Snap writes a picture beside it, and the recording plays back
// with its pictures decoded (orbisight-cli play).
#if defined(ORBISIGHT_HAVE_XCB)
// The client's Xvfb server: the child of the xvfb-run the test started,
// its display and its authority file, read from its command line.
struct XServer {
    std::string display;
    std::string authority;
};
std::optional<XServer> FindXServer(pid_t xvfbRun) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string pid, name, state;
        pid_t parent = 0;
        if (!(stat >> pid >> name >> state >> parent) || parent != xvfbRun || name != "(Xvfb)") {
            continue;
        }
        std::ifstream cmdline(entry.path() / "cmdline");
        std::vector<std::string> args;
        for (std::string arg; std::getline(cmdline, arg, '\0');) {
            args.push_back(arg);
        }
        XServer server;
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i].size() > 1 && args[i][0] == ':') {
                server.display = args[i];
            } else if (args[i] == "-auth" && i + 1 < args.size()) {
                server.authority = args[i + 1];
            }
        }
        if (!server.display.empty()) {
            return server;
        }
    }
    return std::nullopt;
}

// Decoded and received video frames of all panes in a wall-stats file.
std::pair<long, long> DecodedAndReceived(const fs::path& file) {
    long decoded = 0;
    long received = 0;
    for (const std::string& line : ReadLines(file)) {
        long frames = 0;
        long pictures = 0;
        if (std::sscanf(line.c_str(), "pane %*d frames=%ld decoded=%ld", &frames, &pictures) == 2) {
            received += frames;
            decoded += pictures;
        }
    }
    return {decoded, received};
}

// Another window put over the whole client, as the X server reports it:
// its panes decode nothing while covered (frames still arrive), and all
// again once uncovered.
TEST(AppEndToEnd, ACoveredWindowStopsDecodingUntilUncovered) {
    if (!OnPath("xvfb-run") || !OnPath("Xvfb")) {
        GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb)";
    }
    OneCamera camera("COVR00000001");
    ASSERT_TRUE(camera.Ready()) << "the simulated camera's clip was not ready";
    const fs::path& work = camera.work;
    auto stats = [&](const char* name) { return work / name; };
    fs::path covered = work / "covered";
    fs::path uncovered = work / "uncovered";
    std::string script = "trace=" + (work / "trace.txt").string() +
                         ";at=1;connect-all;wait-playing;wait=1;wall-stats=" + stats("a").string() +
                         ";wait-file=" + covered.string() + ";wall-stats=" + stats("b").string() +
                         ";wait=3;wall-stats=" + stats("c").string() +
                         ";wait-file=" + uncovered.string() + ";wall-stats=" + stats("d").string() +
                         ";wait=3;wall-stats=" + stats("e").string() + ";quit";
    pid_t pid = SpawnClient(camera.home, work / "user", script, kScreenWidth, kScreenHeight);
    ClientRun run(pid);
    ASSERT_TRUE(run.Started());
    auto waitFor = [&](const fs::path& file) {
        while (!fs::exists(file) && !run.Ended() && !run.Expired()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return fs::exists(file);
    };
    ASSERT_TRUE(waitFor(stats("a")));
    std::optional<XServer> server = FindXServer(pid);
    ASSERT_TRUE(server.has_value()) << "the client's Xvfb was not found";
    if (!server->authority.empty()) {
        ::setenv("XAUTHORITY", server->authority.c_str(), 1);
    }
    xcb_connection_t* x = xcb_connect(server->display.c_str(), nullptr);
    ASSERT_EQ(xcb_connection_has_error(x), 0) << server->display;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    xcb_window_t cover = xcb_generate_id(x);
    uint32_t values[] = {screen->black_pixel, 1};  // override-redirect: no manager moves it
    xcb_create_window(x, XCB_COPY_FROM_PARENT, cover, screen->root, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(x, cover);
    xcb_flush(x);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::ofstream(covered).put('\n');
    ASSERT_TRUE(waitFor(stats("c")));
    xcb_destroy_window(x, cover);
    xcb_flush(x);
    xcb_disconnect(x);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::ofstream(uncovered).put('\n');
    EXPECT_EQ(run.Finish(), 0);

    auto [decodedB, receivedB] = DecodedAndReceived(stats("b"));
    auto [decodedC, receivedC] = DecodedAndReceived(stats("c"));
    auto [decodedD, receivedD] = DecodedAndReceived(stats("d"));
    auto [decodedE, receivedE] = DecodedAndReceived(stats("e"));
    EXPECT_GE(receivedC - receivedB, 50) << "frames still arrive while covered";
    EXPECT_LE(decodedC - decodedB, 2) << "covered: nothing decoded (a picture in progress at most)";
    EXPECT_GE(receivedE - receivedD, 50);
    EXPECT_GE(decodedE - decodedD, 40) << "uncovered: decoding resumes at the next key frame";
    RemoveUnlessFailed(work, HasFailure());
}
#endif

TEST(AppEndToEnd, RecordingFromThePanelPlaysBack) {
    if (!OnPath("xvfb-run") || !OnPath("Xvfb")) {
        GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb): the end-to-end test needs a "
                        "virtual X server";
    }
    OneCamera camera("RECRD0000001");
    ASSERT_TRUE(camera.Ready()) << "the simulated camera's clip was not ready";
    fs::path trace = camera.work / "trace.txt";
    std::string script = "trace=" + trace.string() +
                         ";at=1;connect-all;wait-playing;select=0;panel=1051;wait=5;panel=1013;"
                         "wait=1;panel=1051;wait=1;quit";
    ClientRun run(
        SpawnClient(camera.home, camera.work / "user", script, kScreenWidth, kScreenHeight));
    ASSERT_TRUE(run.Started());
    EXPECT_EQ(run.Finish(), 0) << "the client ends normally after the script";
    for (const std::string& line : ReadLines(trace)) {
        EXPECT_NE(line.rfind("hold: ", 0), 0u) << "a waiting step gave up: " << line;
    }

    // The default record folder, ~/OrbisightRecord, with the camera's
    // folder "<name>(<id>)" and the day below it.
    fs::path records = camera.work / "user" / "OrbisightRecord";
    std::vector<fs::path> recordings = FilesEndingWith(records, ".264");
    ASSERT_EQ(recordings.size(), 1u) << "one recording expected under " << records;
    EXPECT_EQ(recordings[0].parent_path().parent_path().filename(), "Porch(RECRD0000001)");
    std::vector<fs::path> pictures = FilesEndingWith(records, ".jpg");
    ASSERT_EQ(pictures.size(), 1u) << "one snapshot expected";
    EXPECT_EQ(pictures[0].parent_path(), recordings[0].parent_path());
    QImage picture(QString::fromStdString(pictures[0].string()));
    ASSERT_FALSE(picture.isNull()) << "the snapshot is not a readable JPEG";

    std::string command = "ORBISIGHT_AUDIO=null '" +
                          (fs::path(ORBISIGHT_BIN_DIR) / "orbisight-cli").string() + "' play '" +
                          recordings[0].string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    nlohmann::json summary;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        std::string line = output.substr(start, end == std::string::npos ? end : end - start);
        start = end == std::string::npos ? output.size() : end + 1;
        nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_object() && j.value("summary", false)) {
            summary = j;
        }
    }
    ASSERT_TRUE(summary.is_object()) << "no summary from orbisight-cli play:\n" << output;
    EXPECT_FALSE(summary.value("damaged", true)) << output;
    EXPECT_GE(summary.value("key_frames", 0), 1) << "the recording starts with a key frame";
    // About five seconds of pictures (25 a second), whatever the start.
    EXPECT_GE(summary.value("pictures", 0), 50) << output;
    EXPECT_GE(summary.value("duration_s", 0), 3) << output;
    RemoveUnlessFailed(camera.work, HasFailure());
}

}  // namespace
}  // namespace orbisight

int main(int argc, char** argv) {
    // QImage reads PNG without a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
