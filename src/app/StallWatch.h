#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <string>
#include <vector>

namespace orbisight {

// Measures how long the GUI thread goes without handling its events: a 10 ms
// timer notes the largest gap between two of its ticks. When the event loop
// ends (or the watch is destroyed) the file gets the largest gap in whole
// milliseconds on its first line, then one line "gap MS at SECONDS" per gap
// of 50 ms or more, SECONDS counted from the watch's start.
class StallWatch : public QObject {
    Q_OBJECT
  public:
    static constexpr int kTickMs = 10;
    static constexpr qint64 kListedGapMs = 50;

    StallWatch(std::string file, QObject* parent);
    ~StallWatch() override;

    qint64 LongestGapMs() const { return longest_; }

  private:
    void Tick();
    void Write();

    std::string file_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
    std::vector<std::pair<qint64, qint64>> gaps_;  // (gap, when) in ms
    bool written_ = false;
};

}  // namespace orbisight
