#include "session_config.hpp"

namespace runner {

SessionConfig::SessionConfig(const Options& options)
    : fs(options.fs),
      module(options.module),
      moduleSha256(options.moduleSha256),
      app(options.app),
      language(options.language),
      trace(options.trace),
      traceCalls(options.traceCalls),
      gdbPort(options.gdbPort),
      limits(options.limits),
      faults(options.faults),
      record(options.record),
      gif(options.gif),
      profile(options.profile),
      coverage(options.coverage),
      hostFolders(HostFolders::of(options)),
      frameLength(options.delay.value_or(Defaults::headlessDelay)) {}

}  // namespace runner
