// The process-wide facilities beside the executable pool: a small named block
// per process through which every module of the process finds the same pool,
// and a one-way area for objects that live until the process ends.
#pragma once
#include "core/Win.h"

namespace zo {

// Exhaustion of a fixed process pool is never returned to callers: the
// process shows why and ends with this code (a failure, never 0).
const UINT kPoolExhaustedExitCode = ERROR_NOT_ENOUGH_MEMORY;

const unsigned kGlobalBlockSize = 4096;    // 1024 slots of 32 bits
const unsigned kGlobalAreaSize = 65536;

// Maps this process's block (created zeroed by the first module to ask); a
// new view on every call, null on failure. The section stays open for the
// life of the process. Slot 2 (byte 8) holds the shared ExecMemory: on
// x86_64 that pointer takes 8 bytes, slots 2 and 3.
void* OpenGlobalBlock();

// A piece of the one-way area, never released. Pieces start on pointer
// boundaries so objects with pointer fields may live there. Running past
// the area shows "global memory exhaust" and ends the process. Safe to call
// from any thread.
void* AllocGlobal(unsigned size);

// Shows an error box (no owner) and ends the process with a failure code.
[[noreturn]] void ExitWithMessage(const wchar_t* text, const wchar_t* caption);

} // namespace zo
