#pragma once

#include <string>

namespace orbisight {

class VideoWall;

// The wall's running totals as text, for the live benchmark (the automation's
// "wall-stats" step): the process's CPU time and resident memory, one line
// per pane in use with its channel's counters and the sizes of its decoded
// pictures and its picture area, and the picture latencies (send stamp to
// end of paint) recorded since the previous call. window: the top-level
// window's size in device pixels (its buffer grows with it, whatever the
// channels hold). Latency recording starts
// with the first call and the record is emptied by each one.
//
//   monotonic_ms=N cpu_ms=N rss_kib=N panes=N window=WxH
//   pane SLOT frames=N decoded=N dropped=N painted=N source=WxH area=WxH
//   latency count=N p50=MS p99=MS max=MS
std::string WallStatsText(VideoWall& wall);
// Writes it to file (atomically); false when that failed.
bool WriteWallStats(VideoWall& wall, const std::string& file);

}  // namespace orbisight
