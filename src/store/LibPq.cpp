#include "store/LibPq.h"

#include <dlfcn.h>
#include <mutex>

namespace store {

const LibPq& libpq()
{
    static LibPq lib;
    static std::once_flag once;
    std::call_once(once, [] {
        void* h = dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
        if (!h)
            return;
        bool all = true;
#define TESVAN_LIBPQ_LOAD(f)                                                                                 \
    lib.f = reinterpret_cast<decltype(&::f)>(dlsym(h, #f));                                                  \
    all = all && lib.f;
        TESVAN_LIBPQ_FUNCTIONS(TESVAN_LIBPQ_LOAD)
#undef TESVAN_LIBPQ_LOAD
        lib.loaded = all;
    });
    return lib;
}

} // namespace store
