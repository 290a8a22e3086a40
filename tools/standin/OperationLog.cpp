#include "tools/standin/OperationLog.h"

#include <cstdio>

namespace quor::standin {

std::string OperationRecord::Describe() const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "#%zu op 0x%04X tid %u (", index, code, transaction);
    std::string s = buf;
    for (std::size_t i = 0; i < params.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%s0x%X", i ? ", " : "", params[i]);
        s += buf;
    }
    s += ")";
    if (!data.empty()) {
        std::snprintf(buf, sizeof buf, " data %zu bytes", data.size());
        s += buf;
    }
    std::snprintf(buf, sizeof buf, " -> 0x%04X", response);
    s += buf;
    return s;
}

OperationRecord OperationLog::Append(OperationRecord record) {
    {
        std::lock_guard lock(mutex_);
        record.index = cleared_ + records_.size();
        records_.push_back(record);
    }
    changed_.notify_all();
    return record;
}

std::vector<OperationRecord> OperationLog::Snapshot() const {
    std::lock_guard lock(mutex_);
    return records_;
}

std::size_t OperationLog::Size() const {
    std::lock_guard lock(mutex_);
    return cleared_ + records_.size();
}

std::vector<OperationRecord> OperationLog::Find(const Match& match, std::size_t from) const {
    std::lock_guard lock(mutex_);
    std::vector<OperationRecord> found;
    for (const auto& r : records_)
        if (r.index >= from && match(r))
            found.push_back(r);
    return found;
}

std::size_t OperationLog::Count(std::uint16_t code, std::size_t from) const {
    return Find([code](const OperationRecord& r) { return r.code == code; }, from).size();
}

void OperationLog::Clear() {
    std::lock_guard lock(mutex_);
    cleared_ += records_.size();
    records_.clear();
}

std::optional<OperationRecord> OperationLog::WaitFor(const Match& match, std::chrono::milliseconds timeout,
                                                     std::size_t from) const {
    const auto deadline = Clock::now() + timeout;
    std::unique_lock lock(mutex_);
    std::size_t scanned = 0; // position in records_ already looked at
    for (;;) {
        for (; scanned < records_.size(); ++scanned) {
            const auto& r = records_[scanned];
            if (r.index >= from && match(r))
                return r;
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
            for (; scanned < records_.size(); ++scanned)
                if (records_[scanned].index >= from && match(records_[scanned]))
                    return records_[scanned];
            return std::nullopt;
        }
        if (scanned > records_.size()) // cleared meanwhile
            scanned = 0;
    }
}

std::optional<OperationRecord> OperationLog::WaitForCode(std::uint16_t code, std::chrono::milliseconds timeout,
                                                         std::size_t from) const {
    return WaitFor([code](const OperationRecord& r) { return r.code == code; }, timeout, from);
}

} // namespace quor::standin
