// Where the stand-in body keeps its files: its RAM, for a host that fetches each shot (the capture destination
// "host"), and one card with DCIM/100CANON, listed and served by the standard PTP storage operations.
#include "tools/standin/StandinBody.h"

#include "tools/standin/PtpCodes.h"
#include "tools/standin/Wire.h"

#include <ctime>
#include <numeric>

namespace quor::standin {

namespace {

constexpr std::uint32_t kAllStorages = 0xFFFFFFFF;
constexpr std::uint32_t kTopLevel = 0xFFFFFFFF; // GetObjectHandles: only what is at the top of the card
constexpr std::uint64_t kCardBytes = 32ull * 1000 * 1000 * 1000;
constexpr std::uint16_t kAssociationFolder = 1;

std::string PtpDate() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%S", &tm);
    return text;
}

} // namespace

void StandinBody::AddCardFoldersLocked() {
    const std::uint32_t dcim = nextObject_++;
    card_.emplace(dcim, StoredObject{"DCIM", kFormatAssociation, 0, {}});
    cardFolder_ = nextObject_++;
    card_.emplace(cardFolder_, StoredObject{"100CANON", kFormatAssociation, dcim, {}});
}

const StandinBody::StoredObject* StandinBody::FindObjectLocked(std::uint32_t handle) const {
    if (auto it = shots_.find(handle); it != shots_.end())
        return &it->second;
    if (auto it = card_.find(handle); it != card_.end())
        return &it->second;
    return nullptr;
}

void StandinBody::StoreFileLocked(StoredObject file) {
    const std::uint32_t id = nextObject_++;
    const bool toCard = props_.Find(prop::kCaptureDestination)->value != kDestinationHost;
    const auto size = static_cast<std::uint32_t>(file.bytes.size());
    Writer w;
    if (toCard) {
        // ObjectAddedEx: handle, storage, format, size, folder and name at their fixed offsets.
        file.parent = cardFolder_;
        w.U32(0).U32(ev::kObjectAddedEx).U32(id).U32(kCardStorage).U16(file.format).U16(0).U32(0).U32(0);
        w.U32(size).U32(file.parent).U32(0).Ascii(file.name);
    } else {
        // RequestObjectTransfer: the file waits in RAM until the host has fetched it.
        w.U32(0).U32(ev::kRequestObjectTransfer).U32(id).U16(file.format).U16(0).U32(0);
        w.U32(size).U32(0).Ascii(file.name);
    }
    while (w.Size() % 4)
        w.U8(0);
    w.PatchU32(0, static_cast<std::uint32_t>(w.Size()));
    QueueRecords(w.Get());
    char line[96];
    std::snprintf(line, sizeof line, "shot %s %s as object 0x%04X", file.name.c_str(),
                  toCard ? "written to the card" : "held in RAM", id);
    Trace(line);
    (toCard ? card_ : shots_).emplace(id, std::move(file));
}

// Storage ------------------------------------------------------------------------------------------------------

void StandinBody::GetStorageIds(const Request&, Reply& reply) {
    Writer w;
    w.U32(1).U32(kCardStorage);
    reply.data = w.Take();
}

void StandinBody::GetStorageInfo(const Request& request, Reply& reply) {
    if (request.Param(0) != kCardStorage) {
        reply.code = rc::kInvalidStorageId;
        return;
    }
    const std::uint64_t used = std::accumulate(card_.begin(), card_.end(), std::uint64_t{0},
                                               [](std::uint64_t sum, const auto& o) { return sum + o.second.bytes.size(); });
    Writer w;
    w.U16(0x0004)  // removable RAM
        .U16(0x0002)  // generic hierarchical
        .U16(0x0000); // read and write
    w.U64(kCardBytes).U64(kCardBytes - used).U32(props_.Find(prop::kAvailableShots)->value);
    w.PtpString("SD").PtpString("EOS_DIGITAL");
    reply.data = w.Take();
}

// The EOS form of the storage info; hosts fetch it at start and do not read it.
void StandinBody::GetEosStorageInfo(const Request& request, Reply& reply) {
    if (request.Param(0) != kCardStorage) {
        reply.code = rc::kInvalidStorageId;
        return;
    }
    Writer w;
    w.U32(1).U32(kCardStorage);
    reply.data = w.Take();
}

// Objects ------------------------------------------------------------------------------------------------------

void StandinBody::GetObjectHandles(const Request& request, Reply& reply) {
    const std::uint32_t storage = request.Param(0), format = request.Param(1), parent = request.Param(2);
    if (storage != kAllStorages && storage != kCardStorage) {
        reply.code = rc::kInvalidStorageId;
        return;
    }
    if (parent != 0 && parent != kTopLevel) {
        auto it = card_.find(parent);
        if (it == card_.end() || it->second.format != kFormatAssociation) {
            reply.code = rc::kInvalidParentObject;
            return;
        }
    }
    std::vector<std::uint32_t> handles;
    for (const auto& [handle, object] : card_) {
        const bool inFolder = parent == 0 || object.parent == (parent == kTopLevel ? 0 : parent);
        if (inFolder && (format == 0 || format == object.format))
            handles.push_back(handle);
    }
    Writer w;
    w.U32(static_cast<std::uint32_t>(handles.size()));
    for (auto h : handles)
        w.U32(h);
    reply.data = w.Take();
}

void StandinBody::GetObjectInfo(const Request& request, Reply& reply) {
    const StoredObject* object = FindObjectLocked(request.Param(0));
    if (!object) {
        reply.code = rc::kInvalidObjectHandle;
        return;
    }
    const bool folder = object->format == kFormatAssociation;
    const bool inRam = shots_.count(request.Param(0)) != 0;
    Writer w;
    w.U32(inRam ? 0 : kCardStorage).U16(object->format).U16(0);
    w.U32(static_cast<std::uint32_t>(object->bytes.size()));
    w.U16(0).U32(0).U32(0).U32(0); // no thumbnail
    w.U32(0).U32(0).U32(0);        // image size and depth: not told
    w.U32(object->parent).U16(folder ? kAssociationFolder : 0).U32(0).U32(0);
    const std::string date = PtpDate();
    w.PtpString(object->name).PtpString(date).PtpString(date).PtpString("");
    reply.data = w.Take();
}

// GetObject (the whole file) and GetPartialObject (offset and length in parameters 1 and 2), from RAM or card.
void StandinBody::GetObject(const Request& request, Reply& reply) {
    const StoredObject* object = FindObjectLocked(request.Param(0));
    if (!object || object->format == kFormatAssociation) {
        reply.code = rc::kInvalidObjectHandle;
        return;
    }
    const bool whole = request.code == op::kGetObject;
    const auto& bytes = object->bytes;
    std::size_t offset = whole ? 0 : std::min<std::size_t>(request.Param(1), bytes.size());
    std::size_t length = whole ? bytes.size() : std::min<std::size_t>(request.Param(2), bytes.size() - offset);
    reply.data = std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                           bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
    if (!whole)
        reply.params = {static_cast<std::uint32_t>(length)};
}

void StandinBody::DeleteObject(const Request& request, Reply& reply) {
    const std::uint32_t handle = request.Param(0);
    auto it = card_.find(handle);
    if (it == card_.end()) {
        reply.code = rc::kInvalidObjectHandle;
        return;
    }
    if (it->second.format == kFormatAssociation) {
        reply.code = rc::kGeneralError; // the body's folders stay
        return;
    }
    Trace("deleted " + it->second.name + " from the card");
    card_.erase(it);
    Writer w;
    w.U32(12).U32(ev::kObjectRemoved).U32(handle);
    QueueRecords(w.Get());
}

// The host has the RAM file: the body lets go of it.
void StandinBody::TransferComplete(const Request& request, Reply& reply) {
    if (shots_.erase(request.Param(0)) == 0)
        reply.code = rc::kInvalidObjectHandle;
}

} // namespace quor::standin
