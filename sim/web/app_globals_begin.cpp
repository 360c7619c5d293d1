// The first of the application's globals when it is linked into the page (sim/web/CMakeLists.txt
// links this before the application's sources and app_globals_end.cpp after them).
extern "C" {
[[gnu::used]] char nuv_app_globals_begin = 1;
}
