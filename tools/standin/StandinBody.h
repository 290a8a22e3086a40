// A stand-in camera body: a PTP/IP responder on 127.0.0.1 that answers like an EOS body over the network, so
// that the real libgphoto2 camera path can run on a machine without a camera.
//
// The body keeps its settings in EosProperties and reports them through GetEvent (all of them again on every new
// session). A release exposes for the shutter time (a bulb exposure for as long as it is held), then develops the
// files for a processing time, with CameraStatusChanged saying busy from the release until the last file is out.
// Files go where the capture destination says: into the body's RAM, announced with RequestObjectTransfer, or onto
// its card (DCIM/100CANON), announced with ObjectAddedEx and served by the standard storage operations. Live view
// runs at a set frame rate once its EVF output goes to the PC, answering "not ready" between frames; a new session
// finds it off. In live view a magnifier frame (a fifth of the picture each way, which is also the AF frame) can be
// moved and magnified 5x or 10x, and the frames then show the part of the picture around it. Every operation is
// recorded in an OperationLog. Faults can be injected: busy answers, a connection dropped in the middle of a
// transfer, slow transfers, a pulled cable, and a body that stops answering while it keeps its connections.
//
// Threads: one accepts connections; each connection (command or event) is served on its own thread. Stop() (and
// the destructor) closes every connection and joins every thread promptly, also in the middle of a transfer.
#pragma once

#include "tools/standin/EosProperties.h"
#include "tools/standin/OperationLog.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quor::standin {

struct StandinOptions {
    std::uint16_t port = 0; // 0: any free port (see StandinBody::Port())
    std::string manufacturer = "Canon Inc.";
    std::string model = "Canon EOS Stand-in";
    std::string deviceVersion = "3-1.2.0";
    std::string serialNumber = "QT0215004711";
    std::size_t photoBytes = 512 * 1024; // size of every file the body takes (JPEG or RAW)
    int frameWidth = 640;                // live-view frame size
    int frameHeight = 424;
    std::chrono::milliseconds seriesInterval{120}; // time between the shots of a continuous series
    std::size_t maxHeldShots = 32;                 // RAM buffer: a series pauses when it is full
    // From the end of an exposure until its files are announced.
    std::chrono::milliseconds processingTime{150};
    int liveViewFps = 25; // frames the sensor makes per second in live view
    // The live-view magnifier (Zoom and ZoomPosition), and the coordinates its frame is placed in: the picture's
    // size as the body gives it in its focus information.
    bool liveViewZoom = true;
    std::uint16_t sensorWidth = 6000;
    std::uint16_t sensorHeight = 4000;
    // Called (from the body's threads) with one line per operation and per connection change.
    std::function<void(const std::string&)> trace;
};

class StandinBody {
public:
    using Clock = std::chrono::steady_clock;

    explicit StandinBody(StandinOptions options = {});
    ~StandinBody();
    StandinBody(const StandinBody&) = delete;
    StandinBody& operator=(const StandinBody&) = delete;

    // Binds 127.0.0.1:<port> and starts serving. False (with the reason in `error`) when it cannot.
    bool Start(std::string* error = nullptr);
    // Closes every connection and joins every thread. Safe to call more than once.
    void Stop();
    bool Running() const { return running_.load(); }
    std::uint16_t Port() const { return port_.load(); }

    OperationLog& Log() { return log_; }
    const OperationLog& Log() const { return log_; }

    // Faults --------------------------------------------------------------------------------------------------
    // Answers DeviceBusy to the next `count` operations; with `onlyCode`, to the next `count` operations with
    // that code (others are served normally). Without a code, only what asks the body to do something is
    // refused (settings, releases, AF and lens, bulb, live-view frames, file transfers and deletions); the
    // session's set-up, the event poll and the storage listings are answered, as on a body busy with a shot.
    void AnswerBusy(int count, std::uint16_t onlyCode = 0);
    // The next data phase to the host for an operation with `code` stops half-way and every connection closes.
    void DropNextTransfer(std::uint16_t code);
    // Image data (objects and live-view frames) goes out in chunks of `chunkBytes`, `delayPerChunk` apart.
    // A zero delay turns it off.
    void SetSlowTransfers(std::size_t chunkBytes, std::chrono::milliseconds delayPerChunk);
    // Closes every connection at once, like a pulled cable. With `refuseReconnect`, new connections are closed
    // as soon as they arrive until AllowReconnect().
    void PullOut(bool refuseReconnect = false);
    void AllowReconnect();
    // A body that hangs: its connections stay open and take what the host sends, but no operation (nor
    // keep-alive) is answered until Stall(false), which answers what waited. StallAfter(code) stalls the body
    // once it has answered the next operation with `code`.
    void Stall(bool stalled);
    void StallAfter(std::uint16_t code);
    bool Stalled() const;
    // Operations received and waiting for an answer while the body is stalled.
    int WaitingOperations() const;

    // The body itself ----------------------------------------------------------------------------------------
    // Changes a property from the body's side (a turned dial or switch); the host hears of it in GetEvent.
    void SetPropertyOnBody(std::uint16_t code, std::uint32_t value);
    std::optional<std::uint32_t> PropertyValue(std::uint16_t code) const;
    // The body's own shutter button pressed and let go: one exposure, its files where the destination says.
    void ReleaseOnBody();
    void SetPhotoBytes(std::size_t bytes);
    // Live-view frames the sensor makes per second; 0: a new one whenever the host asks.
    void SetLiveViewFps(int fps);

    // What the body is doing.
    int CommandConnections() const;
    // Waits until no command connection is left (the host let go and the body noticed), up to `timeout`.
    bool WaitUntilReleased(std::chrono::milliseconds timeout) const;
    std::size_t HeldShots() const;    // files in the body's RAM, not yet fetched and released by the host
    std::size_t ShotsInProgress() const; // exposures whose files are not out yet
    std::uint32_t ShotsTaken() const; // releases (a RAW + JPEG exposure is one shot and two files)
    std::uint32_t FramesServed() const;
    // Names of the files on the card, in the order they were written.
    std::vector<std::string> CardFiles() const;
    bool BulbOpen() const;
    bool SeriesRunning() const;
    // The live-view magnifier: 1, 5 or 10, and the top-left corner of its frame in sensor coordinates.
    struct Zoom {
        std::uint32_t factor = 1;
        std::uint32_t x = 0, y = 0;
        bool operator==(const Zoom&) const = default;
    };
    Zoom LiveViewZoom() const;

private:
    struct Connection;
    struct Reply {
        std::uint16_t code = 0;
        std::vector<std::uint32_t> params;
        std::optional<std::vector<std::uint8_t>> data;
    };
    // A file in the body's RAM or on its card, or a folder on the card.
    struct StoredObject {
        std::string name;
        std::uint16_t format = 0;  // PTP object format (JPEG, CR2, association)
        std::uint32_t parent = 0;  // folder handle on the card; 0 at the top
        std::vector<std::uint8_t> bytes;
    };
    // One operation as the host sent it.
    struct Request {
        std::uint64_t connection = 0;
        std::uint16_t code = 0;
        std::uint32_t transaction = 0;
        std::vector<std::uint32_t> params;
        std::vector<std::uint8_t> data;
        std::uint32_t Param(std::size_t i) const { return i < params.size() ? params[i] : 0u; }
    };
    // How the data phase of one reply goes out, as the injected faults say.
    struct TransferPlan {
        bool drop = false;     // half of it, then every connection closes
        std::size_t chunk = 0; // 0: all in one write
        std::chrono::milliseconds delay{0};
    };
    // An operation handler: runs with state_ locked and the session open; `reply` starts out as OK.
    using Handler = void (StandinBody::*)(const Request& request, Reply& reply);

    // Connections and the PTP/IP side (StandinBody.cpp).
    void AcceptLoop();
    void Serve(const std::shared_ptr<Connection>& conn);
    void ServeCommands(const std::shared_ptr<Connection>& conn);
    void ServeEvents(const std::shared_ptr<Connection>& conn);
    void ReapFinished(bool all);
    void CloseAllConnections();
    void Trace(const std::string& line) const;
    // Answers one operation (DeviceBusy when a busy fault is due, else what Handle says) and logs it.
    Reply Answer(Request request);
    bool TakeBusyFault(std::uint16_t code);
    TransferPlan PlanTransfer(std::uint16_t code);

    // Sends the data phase (if any) and the response. False when the connection is gone.
    bool SendReply(Connection& conn, std::uint16_t code, std::uint32_t transaction, const Reply& reply);
    bool SendDroppedTransfer(Connection& conn, std::uint16_t code, std::uint32_t transaction,
                             const std::vector<std::uint8_t>& start, const std::vector<std::uint8_t>& payload);
    bool SendInChunks(Connection& conn, std::uint32_t transaction, const TransferPlan& plan,
                      const std::vector<std::uint8_t>& start, const std::vector<std::uint8_t>& payload,
                      const std::vector<std::uint8_t>& response);
    // Waits `delay` unless the body stops or the connection dies first. False when it was cut short.
    bool Pause(const Connection& conn, std::chrono::milliseconds delay);
    // Waits while the body is stalled; false when the body stops or the connection dies meanwhile.
    bool AwaitUnstalled(const Connection& conn);
    void StallIfDue(std::uint16_t answered);

    // The operations (StandinOperations.cpp).
    Reply Handle(const Request& request);
    std::vector<std::uint8_t> DeviceInfo() const;
    // The following run with state_ locked.
    void OpenSessionLocked(const Request& request, Reply& reply);
    void CloseSession(const Request& request, Reply& reply);
    void AnswerOk(const Request& request, Reply& reply);
    void SetPropertyValue(const Request& request, Reply& reply);
    void GetEvent(const Request& request, Reply& reply);
    void GetViewFinderData(const Request& request, Reply& reply);
    void SetZoom(const Request& request, Reply& reply);
    void SetZoomPosition(const Request& request, Reply& reply);
    bool LiveViewOnLocked() const;
    void QueueRecords(const std::vector<std::uint8_t>& records);
    void EndLiveViewLocked();

    // Shooting (StandinShooting.cpp).
    void DoAf(const Request& request, Reply& reply);
    void BulbStart(const Request& request, Reply& reply);
    void BulbEnd(const Request& request, Reply& reply);
    void RemoteReleaseOn(const Request& request, Reply& reply);
    void RemoteReleaseOff(const Request& request, Reply& reply);
    // Focus information: with `described`, the body's one AF point and the size of the picture it is placed in;
    // otherwise a record with no points, as after an AF.
    void QueueFocusInfoLocked(bool described = false);
    void OpenBulbLocked(const char* how);
    void CloseBulbLocked(const char* how);
    // An exposure for the shutter time from `start`: its files appear after it and the processing time.
    void ExposeLocked(Clock::time_point start);
    Clock::duration ShutterTimeLocked() const;
    // Brings the body up to `now`: series frames that are due, exposures that are developed, the status.
    void AdvanceLocked(Clock::time_point now);
    void CatchUpSeriesLocked(Clock::time_point now);
    void DevelopShotLocked(std::uint32_t number);
    void SetBusyLocked(bool busy);

    // RAM and card (StandinStorage.cpp).
    void GetStorageIds(const Request& request, Reply& reply);
    void GetStorageInfo(const Request& request, Reply& reply);
    void GetEosStorageInfo(const Request& request, Reply& reply);
    void GetObjectHandles(const Request& request, Reply& reply);
    void GetObjectInfo(const Request& request, Reply& reply);
    void GetObject(const Request& request, Reply& reply);
    void DeleteObject(const Request& request, Reply& reply);
    void TransferComplete(const Request& request, Reply& reply);
    // Keeps one developed file where the capture destination says and announces it.
    void StoreFileLocked(StoredObject file);
    const StoredObject* FindObjectLocked(std::uint32_t handle) const;
    void AddCardFoldersLocked();

    StandinOptions options_;
    OperationLog log_;

    std::atomic<bool> running_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint16_t> port_{0};
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::thread acceptThread_;

    mutable std::mutex connMutex_;
    std::vector<std::shared_ptr<Connection>> connections_;
    bool refuseConnections_ = false;
    std::condition_variable pauseCv_;
    mutable std::mutex pauseMutex_;
    // The stall fault, under pauseMutex_.
    bool stalled_ = false;
    std::optional<std::uint16_t> stallAfter_;
    int waitingOps_ = 0;

    // Body state.
    mutable std::mutex state_;
    EosProperties props_;
    std::vector<std::uint8_t> pendingRecords_;
    std::map<std::uint32_t, StoredObject> shots_; // in RAM, until the host has fetched them
    std::map<std::uint32_t, StoredObject> card_;  // folders and files on the card
    std::uint32_t cardFolder_ = 0;                 // where new files go (DCIM/100CANON)
    std::uint32_t nextObject_ = 0x6C0001;
    std::uint32_t nextFileNumber_ = 1;
    struct Developing {
        Clock::time_point due; // when the files appear
        std::uint32_t number;  // the exposure's number, in its file names
    };
    std::deque<Developing> developing_; // exposures in progress, oldest first
    bool busy_ = false;                        // what CameraStatusChanged last said
    Clock::time_point liveViewSince_{};        // EVF output to the PC since then
    Zoom zoom_;                                // the live-view magnifier
    std::int64_t lastFrame_ = -1;              // the sensor frame served last
    std::uint32_t shotsTaken_ = 0;
    std::uint32_t framesServed_ = 0;
    // The session belongs to one command connection. A host that reconnects may open its new session before
    // the body has noticed the old connection end; the old one's cleanup then leaves the new session alone.
    std::uint64_t sessionOwner_ = 0; // connection id, 0 when no session is open
    std::uint64_t nextConnectionId_ = 1;
    bool bulbOpen_ = false;
    Clock::time_point bulbSince_{};
    bool seriesRunning_ = false;
    Clock::time_point seriesStart_{};
    std::uint32_t seriesShots_ = 0;
    int busyCount_ = 0;
    std::uint16_t busyCode_ = 0;
    std::optional<std::uint16_t> dropCode_;
    std::size_t slowChunk_ = 0;
    std::chrono::milliseconds slowDelay_{0};
};

} // namespace quor::standin
