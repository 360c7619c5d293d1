// What the memory functions do, for the phone that is active.
#include "services.hpp"

namespace sim::service {

void* suAllocMem(UINT32 size, INT32* error) {
    void* block = nullptr;
    try {
        block = Phone::active().memory().allocate(size);
    } catch (const std::bad_alloc&) {
        // The simulator ran out of memory: the allocation fails, with its error set.
    }
    if (error) *error = block ? 0 : 1;
    return block;
}

void suFreeMem(void* block) {
    if (block) Phone::active().memory().release(block);
}

}  // namespace sim::service
