// The application as the page links it: its entry, and its globals between the two markers that
// the link places around its objects. It is compiled with every global in initialised data, so
// none lies elsewhere (sim/web/CMakeLists.txt).
#include "linked/linked_module.hpp"

extern "C" {
extern char nuv_app_globals_begin, nuv_app_globals_end;
UINT32 Lib(const char* path, const char* unused, UINT32 base);
}

namespace web {
extern const char* const kLinkedDescription;  // linked_description.cpp, made from its file
}

namespace sim {

const LinkedApplication& linkedApplication() {
    static const LinkedApplication application{
        Lib,
        std::span<std::byte>(reinterpret_cast<std::byte*>(&nuv_app_globals_begin),
                             reinterpret_cast<std::byte*>(&nuv_app_globals_end)),
        web::kLinkedDescription};
    return application;
}

}  // namespace sim
