#include "db/ThreadSession.h"

#include <mysql.h>

namespace fd::db {
namespace {

    struct ThreadSessionSlot {
        ConnectionPtr session;
        Connection::Options options;
        ~ThreadSessionSlot()
        {
            session.reset();
            mysql_thread_end();
        }
    };

    thread_local ThreadSessionSlot t_slot;

} // namespace

ConnectionPtr threadSession(const Connection::Options& options, QString* error)
{
    if (t_slot.session && t_slot.options == options && t_slot.session->isOpen())
        return t_slot.session;
    t_slot.session.reset();
    t_slot.session = Connection::open(options, error);
    t_slot.options = options;
    return t_slot.session;
}

} // namespace fd::db
