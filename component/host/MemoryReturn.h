// Gives the memory a series took back to the system once the series is over. Its photos are rendered, encoded
// and written on several threads at once, and the allocator keeps what they freed in its arenas (after the first
// big block freed, it also stops mapping blocks of that size on their own), so without this the process would
// stay as big as at the busiest moment of its first series.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace quor::component {
namespace storage {
class IoQueue;
} // namespace storage

class MemoryReturn : public QObject {
    Q_OBJECT
public:
    // `idle`: no series runs and nothing is on its way (window thread).
    MemoryReturn(storage::IoQueue* io, std::function<bool()> idle);

    // A series has ended (window thread): once its last frames are on disk, the allocator's free memory goes
    // back to the system, off the window's thread.
    void SeriesEnded();

private:
    void Check();

    storage::IoQueue* io_;
    std::function<bool()> idle_;
    QTimer timer_;
};

} // namespace quor::component
