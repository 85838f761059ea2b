#pragma once

#include "common/AppState.h"

namespace fd::test {

// The shared state of a window test: logged in as an administrator, whom every action is allowed.
inline AppState adminState()
{
    AppState state;
    state.loginRole = Role::Admin;
    return state;
}

} // namespace fd::test
