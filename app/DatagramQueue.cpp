// The bounded hand-over between the receive thread and the UI thread.
#include "app/DatagramQueue.h"

#include <cwchar>

#include "app/module/ModuleProtocol.h"

namespace {

// A value's block: the value, its list header or string header, the
// block's size prefix, the rounding to 16 bytes and the heap's own header.
// Measured on the x86_64 build (the DatagramQueue test prints it), an
// element "[]" of a large list holds about 72 bytes with its slot; 80 and
// the slot keep the charge above that.
const size_t kValueBlock = 80;
const size_t kMemberExtra = 32;
const size_t kSlot = sizeof(void*);

size_t TextBytes(const wchar_t* text) { return text ? (wcslen(text) + 1) * sizeof(wchar_t) : 0; }

} // namespace

void Datagram::Read(const char* data, int bytes, const zo::SOCKADDR& sender) {
    length = bytes;
    from = sender;
    if (proto::IsApList(data, bytes)) {
        apList = true;
        proto::DecodeDatagram(data + proto::kApListPrefixLength, bytes - proto::kApListPrefixLength, text);
    } else {
        proto::DecodeDatagram(data, bytes, text, &utf8);
        parsed = proto::ParseReport(text, report);
    }
    Seal();
}

size_t Datagram::TreeBytes(const zo::Json& value) {
    size_t bytes = kValueBlock;
    switch (value.GetKind()) {
    case zo::Json::KIND_STRING: {
        const wchar_t* text = nullptr;
        if (value.GetString(text)) bytes += TextBytes(text);
        break;
    }
    case zo::Json::KIND_ARRAY:
        for (unsigned i = 0, n = value.Count(); i < n; ++i) {
            const zo::Json* e = value.GetArrayElm(static_cast<int>(i));
            bytes += kSlot + (e ? TreeBytes(*e) : 0);
        }
        break;
    case zo::Json::KIND_OBJECT:
        for (unsigned i = 0, n = value.Count(); i < n; ++i) {
            const zo::Json::DICTION* m = value.GetMember(i);
            if (!m) continue;
            bytes += kSlot + kMemberExtra + TextBytes(m->name.Handle()) + (m->value ? TreeBytes(*m->value) : 0);
        }
        break;
    case zo::Json::KIND_BINARY: {
        int size = 0;
        const void* data = nullptr;
        if (value.GetBinary(data, &size) && size > 0) bytes += static_cast<size_t>(size);
        break;
    }
    default: break;
    }
    return bytes;
}

size_t Datagram::Weigh() const {
    size_t bytes = sizeof(Datagram) + (static_cast<size_t>(text.Cubage()) + 1) * sizeof(wchar_t);
    if (parsed) bytes += TreeBytes(report);
    return bytes;
}

DatagramQueue::~DatagramQueue() {
    for (Datagram* d : entries) delete d;
}

bool DatagramQueue::Push(Datagram* d) {
    if (!d) return false;
    std::lock_guard<std::mutex> hold(lock);
    entries.push_back(d);
    pending += d->Cost();
    while (pending > limit && entries.size() > 1) {
        Datagram* old = entries.front();
        entries.pop_front();
        pending -= old->Cost();
        delete old;
        ++dropped;
    }
    bool wake = !wakeOutstanding;
    wakeOutstanding = true;
    return wake;
}

Datagram* DatagramQueue::Pop() {
    std::lock_guard<std::mutex> hold(lock);
    if (entries.empty()) {
        wakeOutstanding = false;
        return nullptr;
    }
    Datagram* d = entries.front();
    entries.pop_front();
    pending -= d->Cost();
    return d;
}

unsigned DatagramQueue::TakeDropped() {
    std::lock_guard<std::mutex> hold(lock);
    unsigned n = dropped;
    dropped = 0;
    return n;
}

size_t DatagramQueue::PendingCost() const {
    std::lock_guard<std::mutex> hold(lock);
    return pending;
}

size_t DatagramQueue::Count() const {
    std::lock_guard<std::mutex> hold(lock);
    return entries.size();
}
