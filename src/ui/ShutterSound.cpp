#include "ui/ShutterSound.h"

#include <portaudio.h>

#include <QFile>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/WorkerThread.h"
#include "ui/SkinImages.h"

namespace orbisight::ui {

namespace {

bool AudioDeviceWanted() {
    QByteArray mode = qgetenv("ORBISIGHT_AUDIO");
    return !(mode == "null" || mode.startsWith("wav:"));
}

// 16-bit mono PCM samples of a canonical WAV file, and its rate.
bool LoadWav(const QString& path, std::vector<int16_t>& samples, int& rate) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray raw = file.read(1 << 20);
    if (raw.size() < 44 || !raw.startsWith("RIFF") || raw.mid(8, 4) != "WAVE") {
        return false;
    }
    // Read from a plain buffer: GCC takes QByteArray's data for its one-byte
    // empty value and warns about every offset in the header.
    const std::vector<char> bytes(raw.begin(), raw.end());
    uint16_t format = 0;
    uint16_t channels = 0;
    uint16_t bits = 0;
    std::memcpy(&format, bytes.data() + 20, 2);
    std::memcpy(&channels, bytes.data() + 22, 2);
    std::memcpy(&rate, bytes.data() + 24, 4);
    std::memcpy(&bits, bytes.data() + 34, 2);
    if (format != 1 || channels != 1 || bits != 16 || rate <= 0) {
        return false;
    }
    uint32_t size = 0;
    std::memcpy(&size, bytes.data() + 40, 4);
    size = std::min<uint32_t>(size, static_cast<uint32_t>(bytes.size() - 44));
    samples.resize(size / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return true;
}

class ShutterPlayer {
  public:
    ShutterPlayer() {
        if (!LoadWav(SkinImages::Path("shutter.wav"), samples_, rate_)) {
            return;
        }
        thread_.Start("ui/shutter", [this](AutoResetEvent& stop) { Run(stop); });
    }
    ~ShutterPlayer() { thread_.Stop(1400); }

    void Play() {
        requested_.store(true);
        wake_.Set();
    }
    void Stop() {
        thread_.SignalStop();
        wake_.Set();
        thread_.Join(1400);
    }

  private:
    void Run(AutoResetEvent& stop) {
        bool initialised = Pa_Initialize() == paNoError;
        while (initialised && !stop.TryConsume()) {
            wake_.Wait(500);
            if (requested_.exchange(false)) {
                PlayOnce();
            }
        }
        if (initialised) {
            Pa_Terminate();
        }
    }
    void PlayOnce() {
        PaStream* stream = nullptr;
        if (Pa_OpenDefaultStream(&stream, 0, 1, paInt16, rate_, 256, nullptr, nullptr) !=
            paNoError) {
            return;
        }
        if (Pa_StartStream(stream) == paNoError) {
            Pa_WriteStream(stream, samples_.data(), static_cast<unsigned long>(samples_.size()));
            Pa_StopStream(stream);
        }
        Pa_CloseStream(stream);
    }

    std::vector<int16_t> samples_;
    int rate_ = 0;
    std::atomic<bool> requested_{false};
    AutoResetEvent wake_;
    WorkerThread thread_;
};

std::mutex g_mutex;
std::unique_ptr<ShutterPlayer> g_player;  // protected by g_mutex
bool g_shutdown = false;                  // protected by g_mutex
std::atomic<uint64_t> g_requests{0};

}  // namespace

uint64_t ShutterSoundRequests() {
    return g_requests.load();
}

void PlayShutterSound() {
    g_requests.fetch_add(1);
    if (!AudioDeviceWanted()) {
        return;
    }
    std::lock_guard lock(g_mutex);
    if (g_shutdown) {
        return;
    }
    if (!g_player) {
        g_player = std::make_unique<ShutterPlayer>();
    }
    g_player->Play();
}

void ShutdownShutterSound() {
    std::unique_ptr<ShutterPlayer> player;
    {
        std::lock_guard lock(g_mutex);
        g_shutdown = true;
        player = std::move(g_player);
    }
    if (player) {
        player->Stop();
    }
}

}  // namespace orbisight::ui
