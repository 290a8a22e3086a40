// Every operation the stand-in body received, in order, for tests to read and wait on. Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quor::standin {

struct OperationRecord {
    std::size_t index = 0; // position in the log, from 0
    std::uint16_t code = 0;
    std::uint32_t transaction = 0;
    std::vector<std::uint32_t> params;
    std::vector<std::uint8_t> data; // data phase from the host, if any
    std::uint16_t response = 0;     // what the body answered (0 when the connection ended first)
    std::chrono::steady_clock::time_point at;

    std::uint32_t Param(std::size_t i) const { return i < params.size() ? params[i] : 0; }
    std::string Describe() const;
};

class OperationLog {
public:
    using Clock = std::chrono::steady_clock;
    using Match = std::function<bool(const OperationRecord&)>;

    // Stores `record` (its index filled in) and returns the stored copy.
    OperationRecord Append(OperationRecord record);
    std::vector<OperationRecord> Snapshot() const;
    std::size_t Size() const;
    // Records from `from` on that satisfy `match`.
    std::vector<OperationRecord> Find(const Match& match, std::size_t from = 0) const;
    std::size_t Count(std::uint16_t code, std::size_t from = 0) const;
    void Clear();

    // Waits until a record at index >= `from` satisfies `match`, or `timeout` passes. Returns the first such one.
    std::optional<OperationRecord> WaitFor(const Match& match, std::chrono::milliseconds timeout,
                                           std::size_t from = 0) const;
    std::optional<OperationRecord> WaitForCode(std::uint16_t code, std::chrono::milliseconds timeout,
                                               std::size_t from = 0) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<OperationRecord> records_;
    std::size_t cleared_ = 0; // records dropped by Clear(), so indices stay unique
};

} // namespace quor::standin
