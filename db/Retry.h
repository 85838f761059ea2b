#pragma once

namespace fd::db {

// Waits before a transaction that lost a race (a deadlock, or a cluster node refusing the commit
// because another node wrote the same row first) is tried again: a random while that grows with
// each lost try, so two offices that keep colliding on one row fall out of step instead of
// colliding again on every try. attempt counts the tries lost so far, from 1. Blocks the calling
// thread: for worker threads only, never the window's.
void pauseBeforeRetry(int attempt);

} // namespace fd::db
