#include "sim/stream/SimStreamSession.h"

#include <cstdio>
#include <cstring>

#include "media/FrameHeader.h"
#include "media/FrameStamp.h"
#include "platform/Text.h"
#include "platform/WorkerThread.h"
#include "sim/stream/MediaMessage.h"
#include "sim/stream/SimStreamCamera.h"
#include "sim/stream/VideoSource.h"

namespace orbisight::sim {
namespace {

// The body length a live channel refuses (its limit is 327678).
constexpr size_t kOverlongBody = 400000;
// A stream that falls this far behind its schedule skips ahead instead of
// sending a burst.
constexpr auto kMaxLag = std::chrono::seconds(1);

std::string Text(const CHalvexProtocolAX& message, const char* name) {
    const char* text = message.FindText(name);
    return text ? text : "";
}

}  // namespace

SimStreamSession::SimStreamSession(SimStreamCamera& camera, SimConnection& connection)
    : camera_(camera), connection_(connection) {
    start_ = Clock::now();
    // Cameras' clocks start anywhere; make the time stamps wrap-safe.
    timeBase_ = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(start_.time_since_epoch()).count());
    thread_ = std::thread([this] {
        SetCurrentThreadName("sim/stream");
        Run();
    });
}

SimStreamSession::~SimStreamSession() {
    Stop();
}

void SimStreamSession::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

void SimStreamSession::Violation(const std::string& text) {
    camera_.violations.fetch_add(1);
    std::fprintf(stderr, "sim %s: %s\n", camera_.Config().id.c_str(), text.c_str());
}

void SimStreamSession::Reply(int code, const char* name, const char* value) {
    CHalvexProtocolAX reply;
    reply.SetType(msgtype::kReply);
    reply.AddField("Ret", "1");
    reply.AddNumberField("Command_Param", code);
    if (name != nullptr && value != nullptr) {
        reply.AddField(name, value);
    }
    connection_.Send(reply);
}

bool SimStreamSession::Handle(const CHalvexProtocolAX& message) {
    if (message.Type() == msgtype::kCommand) {
        return HandleCommand(message);
    }
    if (message.Type() == msgtype::kRequest) {
        return HandleRequest(message);
    }
    return false;
}

bool SimStreamSession::HandleCommand(const CHalvexProtocolAX& message) {
    std::string command = Text(message, "Command");
    std::string type = Text(message, "Type");
    const char* streamId = message.FindText("StreamID");
    bool start = command == "Start";
    if (!start && command != "Stop") {
        Violation("stream command with \"Command\" \"" + command + "\"");
        return true;
    }
    if (type != "Video" && type != "Audio" && type != "All") {
        Violation("stream command with \"Type\" \"" + type + "\"");
        return true;
    }
    if (streamId != nullptr && std::strcmp(streamId, "0") != 0 && std::strcmp(streamId, "1") != 0) {
        Violation(std::string("stream command with \"StreamID\" \"") + streamId + "\"");
    }
    {
        std::lock_guard lock(mutex_);
        bool video = type == "Video" || type == "All";
        bool audio = (type == "Audio" || type == "All") && camera_.Config().audio;
        if (start) {
            if (video) {
                wanted_.video = true;
                wanted_.sub = streamId != nullptr && std::strcmp(streamId, "1") == 0;
                ++wanted_.generation;
            }
            wanted_.audio = wanted_.audio || audio;
        } else {
            wanted_.video = wanted_.video && !video;
            wanted_.audio = wanted_.audio && !(type == "Audio" || type == "All");
        }
    }
    changed_.notify_all();
    return true;
}

bool SimStreamSession::HandleRequest(const CHalvexProtocolAX& message) {
    const char* param = message.FindText("Command_Param");
    if (param == nullptr) {
        return false;
    }
    int code = ParseDecimal(param);
    switch (code) {
        case 100:
            Reply(100, "RetAlert", camera_.MotionAlert() ? "On" : "Off");
            return true;
        case 101: {
            std::string value = Text(message, "AlertVal");
            if (value != "On" && value != "Off") {
                Violation("alert request with \"AlertVal\" \"" + value + "\"");
                Reply(101, "RetAlert", "Fail");
                return true;
            }
            camera_.SetMotionAlert(value == "On");
            Reply(101, "RetAlert", value.c_str());
            return true;
        }
        case 103: {
            std::string value = Text(message, "AVQVal");
            int quality = value == "Max" ? 1 : value == "Mid" ? 3 : value == "Min" ? 5 : 0;
            if (quality == 0) {
                Violation("quality request with \"AVQVal\" \"" + value + "\"");
                return true;
            }
            {
                std::lock_guard lock(mutex_);
                wanted_.quality = quality;
            }
            changed_.notify_all();
            Reply(103);
            return true;
        }
        case 1:
        case 2:
        case 3:
        case 4:
        case 7:
        case 8:
        case 9:
        case 10:
        case 13:
            if (camera_.Config().ptz) {
                camera_.PanTilt(code);
            }
            return true;
        case 5:
        case 6:
        case 15:
        case 16:
            return true;  // zoom, mirror, flip: accepted, nothing to show
        case 14: {
            const char* x = message.FindText("X_Axis");
            const char* y = message.FindText("Y_Axis");
            if (x == nullptr || y == nullptr) {
                Violation("point request without \"X_Axis\"/\"Y_Axis\"");
                return true;
            }
            if (camera_.Config().ptz) {
                bool sub;
                {
                    std::lock_guard lock(mutex_);
                    sub = wanted_.sub;
                }
                const StreamProfile& profile = camera_.Profile(sub);
                camera_.AimAt(ParseDecimal(x), ParseDecimal(y), profile.width, profile.height);
            }
            return true;
        }
        case 3001:
            Reply(3001);
            return true;
        case 3000: {
            const Field* audio = message.FindField("audiodata");
            if (audio == nullptr || audio->valueLength < 7 || audio->Bytes()[0] != 0xFF ||
                (audio->Bytes()[1] & 0xF0) != 0xF0) {
                Violation("talk audio without an ADTS frame in \"audiodata\"");
            } else {
                camera_.talkFrames.fetch_add(1);
                camera_.SaveTalk(audio->Bytes(), static_cast<size_t>(audio->valueLength));
            }
            return true;
        }
        default:
            return false;
    }
}

uint32_t SimStreamSession::CameraTime(Clock::time_point due) const {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(due - start_).count();
    return static_cast<uint32_t>(timeBase_ + static_cast<int64_t>(ms) + clockOffsetMs_);
}

bool SimStreamSession::WaitUntil(Clock::time_point until, const Wanted& seen) {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, until, [&] { return stopping_ || !(wanted_ == seen); });
    return !stopping_;
}

bool SimStreamSession::SendData(const std::vector<uint8_t>& data) {
    BuildMediaMessage(message_, data.data(), data.size());
    return connection_.SendRaw(message_.data(), message_.size());
}

void SimStreamSession::Run() {
    std::shared_ptr<const AacClip> sound =
        camera_.Config().audio ? ClipCache::Instance().Audio() : nullptr;
    std::unique_ptr<VideoSource> video;
    uint64_t generation = 0;
    bool sub = false;
    bool audioWasOn = false;
    bool stalled = false;
    long videoCount = 0;
    long faultBase = 0;  // frame count when the current fault was set
    uint64_t faultGeneration = 0;
    size_t audioIndex = 0;
    Clock::time_point videoDue{};
    Clock::time_point audioDue{};
    const auto audioPeriod = std::chrono::milliseconds(AacClip::FrameDurationMs());

    for (;;) {
        Wanted wanted;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(
                lock, [&] { return stopping_ || (!stalled && (wanted_.video || wanted_.audio)); });
            if (stopping_) {
                return;
            }
            wanted = wanted_;
        }
        auto now = Clock::now();
        if (wanted.video && (wanted.generation != generation || !video)) {
            generation = wanted.generation;
            sub = wanted.sub;
            video = std::make_unique<VideoSource>(camera_, sub, wanted.quality);
            videoDue = now;
        }
        if (!wanted.video) {
            video.reset();
        } else {
            video->SetQuality(wanted.quality);
        }
        bool audioOn = wanted.audio && sound && !sound->frames.empty();
        if (audioOn && !audioWasOn) {
            audioDue = now;
        }
        audioWasOn = audioOn;

        Clock::time_point next = Clock::time_point::max();
        if (video) {
            next = video->Ready() ? videoDue : now + std::chrono::milliseconds(20);
        }
        if (audioOn) {
            next = std::min(next, audioDue);
        }
        if (next == Clock::time_point::max()) {
            if (!WaitUntil(now + std::chrono::milliseconds(100), wanted)) {
                return;
            }
            continue;
        }
        if (next > now) {
            if (!WaitUntil(next, wanted)) {
                return;
            }
            continue;  // look again: the wish may have changed meanwhile
        }

        data_.clear();
        if (audioOn) {
            if (now - audioDue > kMaxLag) {
                audioDue = now;
            }
            while (audioDue <= now) {
                const auto& frame = sound->frames[audioIndex++ % sound->frames.size()];
                FrameHeader header;
                header.mediaType = mediatype::kAudio;
                header.size = static_cast<uint32_t>(frame.size());
                header.rate = AacClip::kSampleRate;
                header.timeStamp = CameraTime(audioDue);
                AppendFrame(data_, header, frame.data(), frame.size());
                camera_.audioFramesSent.fetch_add(1);
                audioDue += audioPeriod;
            }
        }
        StreamFault fault;
        bool faultActs = false;
        size_t oversizeAt = std::string::npos;
        if (video && video->Ready() && videoDue <= now) {
            if (now - videoDue > kMaxLag) {
                videoDue = now;
            }
            uint64_t generation = 0;
            fault = camera_.Fault(&generation);
            if (generation != faultGeneration) {
                faultGeneration = generation;
                faultBase = videoCount;
            }
            auto period = std::chrono::microseconds(1000000 / video->Fps());
            for (int i = 0; i < camera_.Config().framesPerMessage; ++i) {
                bool acts = fault.ActsAt(videoCount - faultBase);
                faultActs = faultActs || acts;
                if (acts && fault.mode == StreamFault::Mode::kTimeJump) {
                    clockOffsetMs_ += fault.jumpMs;
                } else if (acts && fault.mode == StreamFault::Mode::kTimeRewind) {
                    clockOffsetMs_ -= fault.jumpMs;
                }
                const EncodedFrame* frame = video->Next();
                if (frame == nullptr) {
                    break;
                }
                FrameHeader header;
                header.flags = (frame->key ? 1u : 0u) | (camera_.Alarm() ? 0x100u : 0u);
                header.mediaType = mediatype::kVideo;
                header.size = static_cast<uint32_t>(frame->data.size());
                header.rate = static_cast<uint32_t>(video->Fps());
                header.timeStamp = CameraTime(videoDue);
                // When it goes out, on the machine's clock, where a client
                // here can read its latency (the time stamp above stays the
                // camera's regular capture clock).
                WriteSendStamp(header, SendStampNow());
                size_t at = data_.size();
                AppendFrame(data_, header, frame->data.data(), frame->data.size());
                if (acts && fault.mode == StreamFault::Mode::kOversizeFrame) {
                    oversizeAt = at;
                }
                camera_.videoFramesSent.fetch_add(1);
                if (video->PlayingStill()) {
                    camera_.stillFramesSent.fetch_add(1);
                }
                if (frame->key) {
                    camera_.keyFramesSent.fetch_add(1);
                }
                ++videoCount;
                videoDue += period;
            }
        }
        if (oversizeAt != std::string::npos) {
            // The header promises more than the rest of the value holds.
            FrameHeader header = ReadFrameHeaderNetwork(data_.data() + oversizeAt);
            header.size =
                static_cast<uint32_t>(data_.size() - oversizeAt - FrameHeader::kSize + 4096);
            WriteFrameHeaderNetwork(header, data_.data() + oversizeAt);
        }
        if (faultActs && fault.mode == StreamFault::Mode::kDrop) {
            connection_.Drop();
            return;
        }
        if (faultActs && fault.mode == StreamFault::Mode::kStall) {
            stalled = true;  // the connection stays open, silent
            continue;
        }
        if (faultActs && fault.mode == StreamFault::Mode::kOverlongMessage) {
            BuildPaddedMediaMessage(message_, kOverlongBody);
            if (!connection_.SendRaw(message_.data(), message_.size())) {
                return;
            }
        }
        if (!data_.empty() && !SendData(data_)) {
            return;  // the client went away; the command side closes the connection
        }
    }
}

}  // namespace orbisight::sim
