// Exchange: the job that talks to one module at a known address: a read,
// an access-point list, or a save. A save reads the module first (unless
// its current record is given), sends all six members, then reads again
// until every value it sent is reported or the verification time passes;
// a module may restart after a save and stay silent for a while. Requests
// go out on lane 0. A report is the module's when it names the address
// asked or the mac already read (the address a reply comes from is not
// always the module's own), or, naming no address, when it came from the
// address asked; an access-point list names nobody, so one list is asked
// at a time.
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

class Exchange : public Job {
public:
    enum Op { kRead, kAps, kSave };
    enum Result { kPending, kOk, kNoAnswer, kDiffers, kSilentAfterSave, kRefused };

    Exchange(Op op, uint32_t target, const ExchangeOptions& options);
    // A save; with current, the module's record is known and not read again.
    Exchange(uint32_t target, const Edits& edits, const ExchangeOptions& options,
             const ModuleRecord* current = nullptr);

    bool Next(unsigned lane, uint64_t now, Outgoing& out) override;
    void Take(const Reply& reply, uint64_t now) override;
    bool Done(uint64_t now) override;
    uint64_t Wake() const override;

    Result result = kPending;
    ModuleRecord record;          // as first read (before a save)
    ModuleRecord intended;        // what a save sent
    ModuleRecord reported;        // the last report after a save
    std::vector<std::wstring> aps;
    std::vector<std::wstring> differences;
    std::wstring refusal;
    unsigned saves = 0;           // save requests sent

private:
    enum State { kAsk, kSending, kVerify, kFinished };
    bool Mine(const Reply& reply) const;
    void Prepare();   // builds the save from record

    Op op;
    uint32_t target;
    ExchangeOptions options;
    Edits edits;
    State state = kAsk;
    std::string saveBytes;
    unsigned attempts = 0;
    uint64_t sentAt = 0, verifyEnd = 0;
    bool resend = false, heard = false;
};

} // namespace proto
