#pragma once

#include <cstdlib>

// Tests look for serial adapters and keep COM numbers in folders of the build tree, never in
// the machine's /dev/serial or the user's ~/.config, and look for port lock files in a folder of
// the build tree that nobody makes, never in the machine's /run/lock; a test that needs adapters
// or lock files of its own sets these again. Called first in every test program's main. Windows
// numbers its ports itself and has no lock files: there is nothing to keep away from there.
inline void IsolateFromTheMachine()
{
#ifndef _WIN32
    setenv("ORVANTA_SERIAL_DEVICES", ORVANTA_TEST_SCRATCH "/no-adapters", 1);
    setenv("XDG_CONFIG_HOME", ORVANTA_TEST_SCRATCH "/config", 1);
    setenv("ORVANTA_LOCK_DIR", ORVANTA_TEST_SCRATCH "/no-lock-files", 1);
#endif
}
