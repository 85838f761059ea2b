#pragma once

#include "db/Connection.h"

namespace fd::db {

// The calling thread's own session, for work off the window thread (the database lane's jobs):
// opened with the options when the thread first needs one, kept for the thread's life and closed
// when the thread ends, opened anew when the options differ from the ones it was opened with
// (another login, another database). Empty, with the reason in error, when no server takes it.
// Never hand the session to another thread.
ConnectionPtr threadSession(const Connection::Options& options, QString* error = nullptr);

} // namespace fd::db
