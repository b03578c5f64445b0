// Exchange: the job that talks to one module at a known address: a read,
// an access-point list, or a save. A save reads the module first (unless
// its current record is given), sends all six members, then asks again
// until every value it sent is reported or it has asked as often as the
// options allow, each time waiting its full time-out: however many saves
// share the lane, each gets its whole verification (a module may restart
// after a save and stay silent for a while). Requests go out on lane 0.
// A report is the module's when it carries the module's mac once that is
// known, and before that when it names the address asked as its own; the
// address a reply comes from is never taken for the module's. An access
// point list names nobody, so one list is asked at a time. A save or a list
// goes only to an address that can be one module's (the destination rule).
#pragma once
#include <string>
#include <vector>

#include "app/module/Engine.h"
#include "app/module/Settings.h"

namespace proto {

struct ExchangeOptions {
    unsigned timeout = 1000;   // ms to wait for an answer before asking again
    unsigned retries = 3;      // requests after the first that got no answer
    bool verify = true;
};

// Whether a report answers a request to the module at `asked`, whose mac is
// `mac` (empty while it is not known).
bool IsModulesReport(const ModleParam& report, zo::IP asked, const zo::String& mac);

class Exchange : public Job {
public:
    enum Op { kRead, kAps, kSave };
    enum Result { kPending, kOk, kNoAnswer, kDiffers, kSilentAfterSave, kRefused, kNotSent };

    Exchange(Op op, zo::IP target, const ExchangeOptions& options);
    // A save; with current, the module's record is known and not read again.
    Exchange(zo::IP target, const Edits& edits, const ExchangeOptions& options, const ModleParam* current = nullptr);
    // A save of a request already built (the window's) to a module whose
    // record is current; verified against intended.
    Exchange(zo::IP target, const std::string& request, const ModleParam& current, const ModleParam& intended,
             const ExchangeOptions& options);

    bool Next(unsigned lane, uint64_t now, Outgoing& out) override;
    void Sent(bool ok, uint64_t now) override;
    void Take(const Reply& reply, uint64_t now) override;
    bool Done(uint64_t now) override;
    uint64_t Wake() const override;

    Result result = kPending;
    ModleParam record;            // as first read (before a save)
    ModleParam intended;          // what a save sent
    ModleParam reported;          // the last report after a save
    std::vector<std::wstring> aps;
    std::vector<std::wstring> differences;
    std::wstring refusal;
    unsigned saves = 0;           // save requests sent

private:
    enum State { kAsk, kSending, kVerify, kFinished };
    void Refuse(const std::wstring& why);
    void Prepare();   // builds the save from record

    Op op;
    zo::IP target;
    ExchangeOptions options;
    Edits edits;
    State state = kAsk;
    std::string saveBytes;
    unsigned attempts = 0;        // reads while asking; asks (the save included) while verifying
    uint64_t sentAt = 0;
    bool resend = false, heard = false, sending = false;
};

} // namespace proto
