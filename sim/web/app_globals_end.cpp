// Just past the application's globals when it is linked into the page (see app_globals_begin.cpp).
extern "C" {
[[gnu::used]] char nuv_app_globals_end = 1;
}
