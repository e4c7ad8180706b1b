#include "app/WallStats.h"

#include <cstdio>

#include "app/CDlgVedioShow.h"
#include "app/PaneChannel.h"
#include "app/VideoWall.h"
#include "media/FrameStamp.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/ProcessUsage.h"

namespace orbisight {

std::string WallStatsText(VideoWall& wall) {
    std::string panes;
    int inUse = 0;
    char line[256];
    for (int slot = 0; slot < WallLayout::kPaneCount; ++slot) {
        CDlgVedioShow* pane = wall.Pane(slot);
        PaneChannel* channel = pane->Channel();
        if (!pane->InUse() || channel == nullptr) {
            continue;
        }
        ++inUse;
        PaneChannelCounters counters = channel->Counters();
        PictureSize source = channel->Playing() ? channel->PictureSizeForPoints() : PictureSize{};
        bool visible = pane->isVisible();
        std::snprintf(line, sizeof line,
                      "pane %d frames=%llu decoded=%llu dropped=%llu painted=%llu source=%dx%d "
                      "area=%dx%d\n",
                      slot, static_cast<unsigned long long>(counters.videoFrames),
                      static_cast<unsigned long long>(counters.decoded),
                      static_cast<unsigned long long>(counters.dropped),
                      static_cast<unsigned long long>(pane->PicturesPainted()), source.width,
                      source.height, visible ? pane->width() - 8 : 0,
                      visible ? pane->height() - 8 : 0);
        panes += line;
    }
    std::string text;
    QWidget* window = wall.Pane(0)->window();  // the panes live in the top-level window
    qreal ratio = window->devicePixelRatioF();
    std::snprintf(line, sizeof line,
                  "monotonic_ms=%llu cpu_ms=%lld rss_kib=%lld panes=%d window=%dx%d\n",
                  static_cast<unsigned long long>(TickCountMs()),
                  static_cast<long long>(ProcessCpuMicroseconds() / 1000),
                  static_cast<long long>(ResidentBytes() / 1024), inUse,
                  qRound(window->width() * ratio), qRound(window->height() * ratio));
    text += line;
    text += panes;
    LatencyRecorder& latency = PaintLatency();
    std::snprintf(line, sizeof line, "latency count=%llu p50=%u p99=%u max=%u\n",
                  static_cast<unsigned long long>(latency.Count()), latency.Percentile(50),
                  latency.Percentile(99), latency.Max());
    text += line;
    latency.Reset();
    SetPaintLatencyOn(true);
    return text;
}

bool WriteWallStats(VideoWall& wall, const std::string& file) {
    std::string text = WallStatsText(wall);
    return WriteFileAtomically(file, text.data(), text.size());
}

}  // namespace orbisight
