// What the resource functions do, for the phone that is active.
#include "services.hpp"

namespace sim::service {

UINT32 DRM_GetCurrentLanguage(UINT8* language) {
    if (!language) return kFailed;
    *language = Phone::active().resources().language();
    return kOk;
}

UINT32 DRM_CreateResource(UINT32* id, UINT32 kind, const void* data, UINT32 size) {
    if (!id) return kFailed;
    const auto created = Phone::active().resources().create(kind, data, size);
    if (!created) return kFailed;
    *id = *created;
    return kOk;
}

UINT32 DRM_SetResource(UINT32 id, const void* data, UINT32 size) {
    return Phone::active().resources().set(id, data, size) ? kOk : kFailed;
}

UINT32 DRM_ClearResource(UINT32 id) { return Phone::active().resources().clear(id) ? kOk : kFailed; }

}  // namespace sim::service
