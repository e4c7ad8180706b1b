#include "app/StallWatch.h"

#include <QCoreApplication>
#include <cstdio>

namespace orbisight {

StallWatch::StallWatch(std::string file, QObject* parent)
    : QObject(parent), file_(std::move(file)) {
    clock_.start();
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &StallWatch::Tick);
    timer_.start(kTickMs);
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &StallWatch::Write);
}

StallWatch::~StallWatch() {
    Write();
}

void StallWatch::Tick() {
    qint64 now = clock_.elapsed();
    qint64 gap = now - last_;
    last_ = now;
    if (gap > longest_) {
        longest_ = gap;
    }
    if (gap >= kListedGapMs) {
        gaps_.emplace_back(gap, now);
    }
}

void StallWatch::Write() {
    if (written_) {
        return;
    }
    written_ = true;
    Tick();  // the time since the last tick counts too (a stall at the very end)
    std::FILE* out = std::fopen(file_.c_str(), "w");
    if (!out) {
        std::fprintf(stderr, "automation: cannot write %s\n", file_.c_str());
        return;
    }
    std::fprintf(out, "%lld\n", static_cast<long long>(longest_));
    for (const auto& [gap, when] : gaps_) {
        std::fprintf(out, "gap %lld at %.2f\n", static_cast<long long>(gap), when / 1000.0);
    }
    std::fclose(out);
}

}  // namespace orbisight
