// Included before sim/core/host_shells.cpp in the page (sim/web/CMakeLists.txt): WebAssembly
// code cannot take its return address, so the platform functions name no caller there.
#pragma once
#define __builtin_return_address(level) nullptr
