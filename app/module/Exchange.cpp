// One module's conversation as a small state machine.
#include "app/module/Exchange.h"

#include "app/module/ModuleProtocol.h"

namespace proto {

Exchange::Exchange(Op o, uint32_t t, const ExchangeOptions& opts) : op(o), target(t), options(opts) {}

Exchange::Exchange(uint32_t t, const Edits& e, const ExchangeOptions& opts, const ModuleRecord* current)
    : op(kSave), target(t), options(opts), edits(e) {
    if (current) {
        record = *current;
        Prepare();
    }
}

void Exchange::Prepare() {
    intended = Merge(record, edits);
    if (!SaveRequest(intended, saveBytes, refusal)) {
        result = kRefused;
        state = kFinished;
        return;
    }
    state = kSending;
}

bool Exchange::Mine(const Reply& reply) const {
    const ModuleRecord& r = reply.record;
    if (r.etherIp == target || (!record.mac.empty() && r.mac == record.mac)) return true;
    // A module without an Ethernet address of its own is known only by the
    // address its answer came from.
    return r.etherIp == 0 && reply.from.ToLong() == target;
}

bool Exchange::Next(unsigned lane, uint64_t now, Outgoing& out) {
    if (lane != 0) return false;
    out.to = zo::IP(static_cast<unsigned long>(target));
    switch (state) {
    case kAsk:
        if (attempts > 0 && (now < sentAt + options.timeout || attempts > options.retries)) return false;
        out.bytes = op == kAps ? kApListRequest : kReadRequest;
        ++attempts;
        sentAt = now;
        return true;
    case kSending:
        out.bytes = saveBytes;
        ++saves;
        sentAt = now;
        verifyEnd = now + static_cast<uint64_t>(options.retries + 1) * options.timeout;
        state = options.verify ? kVerify : kFinished;
        if (!options.verify) result = kOk;
        return true;
    case kVerify:
        if (now < sentAt + options.timeout || now >= verifyEnd) return false;
        // A module that answered with other values may have lost the save:
        // send it again; one that has not answered is asked to report.
        if (resend) {
            out.bytes = saveBytes;
            ++saves;
            resend = false;
        } else {
            out.bytes = kReadRequest;
        }
        sentAt = now;
        return true;
    case kFinished:
        return false;
    }
    return false;
}

void Exchange::Take(const Reply& reply, uint64_t) {
    if (state == kFinished) return;
    if (reply.kind == Reply::kApList) {
        if (op == kAps && state == kAsk) {
            aps = reply.aps;
            result = kOk;
            state = kFinished;
        }
        return;
    }
    if (reply.kind != Reply::kReport || !Mine(reply) || op == kAps) return;
    if (state == kAsk) {
        record = reply.record;
        if (op == kRead) {
            result = kOk;
            state = kFinished;
        } else {
            Prepare();
        }
    } else if (state == kVerify) {
        heard = true;
        reported = reply.record;
        differences = Differences(intended, reported);
        if (differences.empty()) {
            result = kOk;
            state = kFinished;
        } else {
            resend = true;
        }
    }
}

bool Exchange::Done(uint64_t now) {
    if (state == kAsk && attempts > options.retries && now >= sentAt + options.timeout) {
        result = kNoAnswer;
        state = kFinished;
    }
    if (state == kVerify && now >= verifyEnd) {
        result = heard ? kDiffers : kSilentAfterSave;
        state = kFinished;
    }
    return state == kFinished;
}

uint64_t Exchange::Wake() const {
    switch (state) {
    case kAsk: return attempts == 0 ? 0 : sentAt + options.timeout;
    case kSending: return 0;
    case kVerify: return sentAt + options.timeout < verifyEnd ? sentAt + options.timeout : verifyEnd;
    default: return kNever;
    }
}

} // namespace proto
