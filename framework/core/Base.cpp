#include "core/Base.h"

#include <cstdlib>

namespace zo {

// malloc(0) may return null, which a new-expression would take as failure.
static void* HeapAlloc0(size_t size) { return malloc(size ? size : 1); }

void* _struct::operator new(size_t size) noexcept { return HeapAlloc0(size); }
void _struct::operator delete(void* p) noexcept { free(p); }
void* _struct::operator new(size_t size, const char*, int) noexcept { return HeapAlloc0(size); }
void _struct::operator delete(void* p, const char*, int) noexcept { free(p); }

void* _class::operator new(size_t size) noexcept { return HeapAlloc0(size); }
void _class::operator delete(void* p) noexcept { free(p); }
void* _class::operator new(size_t size, const char*, int) noexcept { return HeapAlloc0(size); }
void _class::operator delete(void* p, const char*, int) noexcept { free(p); }

} // namespace zo
