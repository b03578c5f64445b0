// One module's conversation as a small state machine.
#include "app/module/Exchange.h"

#include "app/module/Destination.h"
#include "app/module/ModuleProtocol.h"

namespace proto {

bool IsModulesReport(const ModleParam& report, zo::IP asked, const zo::String& mac) {
    // Two modules on one factory-default address both name it: once the
    // mac is known, only that mac is the module.
    if (mac.Length()) return report.mac == mac;
    return report.ether_ip == asked;
}

Exchange::Exchange(Op o, zo::IP t, const ExchangeOptions& opts) : op(o), target(t), options(opts) {
    if (op != kRead && ClassifyModuleAddress(target) != Destination::unicast) Refuse(RefusalTextEn(target));
}

Exchange::Exchange(zo::IP t, const Edits& e, const ExchangeOptions& opts, const ModleParam* current)
    : op(kSave), target(t), options(opts), edits(e) {
    if (ClassifyModuleAddress(target) != Destination::unicast) {
        Refuse(RefusalTextEn(target));
        return;
    }
    if (current) {
        record = *current;
        Prepare();
    }
}

Exchange::Exchange(zo::IP t, const std::string& request, const ModleParam& current, const ModleParam& want,
                   const ExchangeOptions& opts)
    : op(kSave), target(t), options(opts) {
    if (ClassifyModuleAddress(target) != Destination::unicast) {
        Refuse(RefusalTextEn(target));
        return;
    }
    record = current;
    intended = want;
    saveBytes = request;
    state = kSending;
}

void Exchange::Refuse(const std::wstring& why) {
    refusal = why;
    result = kRefused;
    state = kFinished;
}

void Exchange::Prepare() {
    intended = Merge(record, edits);
    std::wstring why;
    if (!SaveRequest(record, intended, saveBytes, why)) {
        Refuse(why);
        return;
    }
    state = kSending;
}

bool Exchange::Next(unsigned lane, uint64_t now, Outgoing& out) {
    if (lane != 0) return false;
    out.to = target;
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
        attempts = 1;   // the save asks for a report too
        sending = true;
        state = options.verify ? kVerify : kFinished;
        return true;
    case kVerify:
        if (now < sentAt + options.timeout || attempts > options.retries) return false;
        // A module that answered with other values may have lost the save:
        // send it again; one that has not answered is asked to report.
        if (resend) {
            out.bytes = saveBytes;
            ++saves;
            resend = false;
        } else {
            out.bytes = kReadRequest;
        }
        ++attempts;
        sentAt = now;
        return true;
    case kFinished:
        return false;
    }
    return false;
}

void Exchange::Sent(bool ok, uint64_t) {
    if (!sending) return;
    sending = false;
    // Unverified, a save is "sent" only when it left.
    if (!options.verify && result == kPending) result = ok ? kOk : kNotSent;
}

void Exchange::Take(const Reply& reply, uint64_t) {
    if (state == kFinished) return;
    if (reply.kind == Reply::kApList) {
        if (op == kAps && state == kAsk && attempts > 0) {
            aps = reply.aps;
            result = kOk;
            state = kFinished;
        }
        return;
    }
    if (reply.kind != Reply::kReport || op == kAps || !IsModulesReport(reply.record, target, record.mac)) return;
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
    if (state == kVerify && attempts > options.retries && now >= sentAt + options.timeout) {
        result = heard ? kDiffers : kSilentAfterSave;
        state = kFinished;
    }
    return state == kFinished;
}

uint64_t Exchange::Wake() const {
    switch (state) {
    case kAsk: return attempts == 0 ? 0 : sentAt + options.timeout;
    case kSending: return 0;
    case kVerify: return sentAt + options.timeout;
    default: return kNever;
    }
}

} // namespace proto
