#pragma once

#include <cstdlib>

// Tests look for serial adapters and keep COM numbers in folders of the build tree, never in
// the machine's /dev/serial or the user's ~/.config; a test that needs adapters of its own sets
// these again. Called first in every test program's main.
inline void IsolateFromTheMachine()
{
    setenv("ORVANTA_SERIAL_DEVICES", ORVANTA_TEST_SCRATCH "/no-adapters", 1);
    setenv("XDG_CONFIG_HOME", ORVANTA_TEST_SCRATCH "/config", 1);
}
