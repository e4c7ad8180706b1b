#include "app/VlcMediaPlayer.h"

#include <vlc/vlc.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "platform/ReleaseThread.h"

namespace orbisight {

struct VlcMediaPlayer::Shared {
    libvlc_instance_t* instance = nullptr;
    libvlc_media_player_t* player = nullptr;

    // The output thread writes into buffer between lock and display; display
    // copies it into latest.
    std::vector<uint8_t> buffer;
    unsigned width = 0;
    unsigned height = 0;
    mutable std::mutex mutex;
    Picture latest;              // protected by mutex
    std::function<void()> wake;  // protected by mutex; cleared when let go
    std::atomic<uint64_t> pictures{0};

    ~Shared() {
        if (player != nullptr) {
            libvlc_media_player_stop(player);
            libvlc_media_player_release(player);
        }
        if (instance != nullptr) {
            libvlc_release(instance);
        }
    }
};

namespace {

constexpr unsigned kMaxSide = 4096;

// Releases the players let go of, one after another, on one thread started
// on first use: the last reference stops and releases, joining libvlc's
// threads.
ReleaseThread<VlcMediaPlayer::Shared>& Closer() {
    static ReleaseThread<VlcMediaPlayer::Shared> closer("app/vlcclose", nullptr);
    return closer;
}

unsigned Format(void** opaque, char* chroma, unsigned* width, unsigned* height, unsigned* pitches,
                unsigned* lines) {
    auto* shared = static_cast<VlcMediaPlayer::Shared*>(*opaque);
    std::memcpy(chroma, "RV32", 4);
    *width = std::min(std::max(*width, 1u), kMaxSide);
    *height = std::min(std::max(*height, 1u), kMaxSide);
    pitches[0] = *width * 4;
    lines[0] = *height;
    shared->width = *width;
    shared->height = *height;
    shared->buffer.assign(size_t{*width} * *height * 4, 0);
    return 1;
}

void* Lock(void* opaque, void** planes) {
    auto* shared = static_cast<VlcMediaPlayer::Shared*>(opaque);
    planes[0] = shared->buffer.data();
    return nullptr;
}

void Display(void* opaque, void*) {
    auto* shared = static_cast<VlcMediaPlayer::Shared*>(opaque);
    std::function<void()> wake;
    {
        std::lock_guard lock(shared->mutex);
        shared->latest.pixels = shared->buffer;
        shared->latest.width = static_cast<int>(shared->width);
        shared->latest.height = static_cast<int>(shared->height);
        shared->latest.serial = ++shared->pictures;
        wake = shared->wake;
    }
    if (wake) {
        wake();
    }
}

std::vector<const char*> InstanceArguments() {
    std::vector<const char*> args = {"--quiet", "--no-video-title-show", "--no-stats",
                                     "--no-snapshot-preview", "--no-xlib"};
    // The null and WAV sound backends of the client mean: no sound device.
    const char* audio = std::getenv("ORBISIGHT_AUDIO");
    if (audio != nullptr &&
        (std::strcmp(audio, "null") == 0 || std::strncmp(audio, "wav:", 4) == 0)) {
        args.push_back("--aout=dummy");
    }
    return args;
}

}  // namespace

VlcMediaPlayer::VlcMediaPlayer(std::function<void()> pictureReady)
    : pictureReady_(std::move(pictureReady)) {}

VlcMediaPlayer::~VlcMediaPlayer() {
    Stop();
}

bool VlcMediaPlayer::Play(const std::string& path, bool rawH264, uint32_t xWindow,
                          std::string* error) {
    Stop();
    auto fail = [&](const std::string& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    auto shared = std::make_shared<Shared>();
    auto args = InstanceArguments();
    shared->instance = libvlc_new(static_cast<int>(args.size()), args.data());
    if (shared->instance == nullptr) {
        return fail("the video player (libvlc) cannot start");
    }
    libvlc_media_t* media = libvlc_media_new_path(shared->instance, path.c_str());
    if (media == nullptr) {
        return fail("the video player cannot open " + path);
    }
    if (rawH264) {
        libvlc_media_add_option(media, ":demux=h264");
    }
    shared->player = libvlc_media_player_new_from_media(media);
    libvlc_media_release(media);
    if (shared->player == nullptr) {
        return fail("the video player cannot open " + path);
    }
    if (xWindow != 0) {
        libvlc_media_player_set_xwindow(shared->player, xWindow);
    } else {
        shared->wake = pictureReady_;
        libvlc_video_set_format_callbacks(shared->player, Format, nullptr);
        libvlc_video_set_callbacks(shared->player, Lock, nullptr, Display, shared.get());
    }
    if (libvlc_media_player_play(shared->player) != 0) {
        return fail("the video player cannot play " + path);
    }
    shared_ = std::move(shared);
    return true;
}

void VlcMediaPlayer::Stop() {
    if (!shared_) {
        return;
    }
    {
        std::lock_guard lock(shared_->mutex);
        shared_->wake = nullptr;
    }
    Closer().Hand(std::move(shared_));
    shared_.reset();
}

void VlcMediaPlayer::SetPaused(bool paused) {
    if (shared_) {
        libvlc_media_player_set_pause(shared_->player, paused ? 1 : 0);
    }
}

bool VlcMediaPlayer::Active() const {
    return shared_ != nullptr;
}

bool VlcMediaPlayer::IsPlaying() const {
    return shared_ && libvlc_media_player_is_playing(shared_->player) != 0;
}

bool VlcMediaPlayer::Ended() const {
    if (!shared_) {
        return false;
    }
    libvlc_state_t state = libvlc_media_player_get_state(shared_->player);
    return state == libvlc_Ended || state == libvlc_Error;
}

int VlcMediaPlayer::PositionPercent() const {
    if (!shared_) {
        return -1;
    }
    float position = libvlc_media_player_get_position(shared_->player);
    if (position < 0) {
        return -1;
    }
    return static_cast<int>(std::min(100.0f, position * 100.0f + 0.5f));
}

void VlcMediaPlayer::SetPositionPercent(int percent) {
    if (shared_) {
        percent = std::max(0, std::min(100, percent));
        libvlc_media_player_set_position(shared_->player, static_cast<float>(percent) / 100.0f);
    }
}

bool VlcMediaPlayer::LatestPicture(Picture& out) const {
    if (!shared_) {
        return false;
    }
    std::lock_guard lock(shared_->mutex);
    if (shared_->latest.serial == 0 || shared_->latest.serial == out.serial) {
        return false;
    }
    out = shared_->latest;
    return true;
}

uint64_t VlcMediaPlayer::Pictures() const {
    return shared_ ? shared_->pictures.load() : 0;
}

bool VlcMediaPlayer::XOutputAvailable() {
    // The X outputs are "libxcb_*" and the OpenGL ones "libgl*" in the
    // plugin folder's "video_output"; VLC_PLUGIN_PATH moves the folder.
    std::vector<std::filesystem::path> folders;
    if (const char* path = std::getenv("VLC_PLUGIN_PATH")) {
        folders.emplace_back(path);
    }
    for (const char* base :
         {"/usr/lib/x86_64-linux-gnu/vlc/plugins", "/usr/lib/aarch64-linux-gnu/vlc/plugins",
          "/usr/lib/vlc/plugins", "/usr/lib64/vlc/plugins"}) {
        folders.emplace_back(base);
    }
    for (const auto& folder : folders) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder / "video_output", ec)) {
            std::string name = entry.path().filename().string();
            if (name.rfind("libxcb_", 0) == 0 || name.rfind("libgl", 0) == 0) {
                return true;
            }
        }
    }
    return false;
}

bool VlcMediaPlayer::WaitAllReleased(int waitMs) {
    return Closer().WaitIdle(waitMs);
}

}  // namespace orbisight
