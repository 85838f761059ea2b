#include "fleet/ListFill.h"

#include "db/ThreadSession.h"

#include <chrono>

namespace fd::fleet {

ListEnd readList(const DatabaseOptions& options, const db::Statement& statement, const QStringList& dateFields,
    double loginDateTime, const std::atomic_bool& cancel,
    const std::function<void(std::shared_ptr<const VehicleRows>)>& deliver, PartPacing pacing)
{
    using Clock = std::chrono::steady_clock;
    ListEnd end;
    if (cancel) {
        end.outcome = ListEnd::Outcome::cancelled;
        return end;
    }
    db::ConnectionPtr session = db::threadSession(options, &end.error);
    if (!session) {
        end.outcome = ListEnd::Outcome::failed;
        return end;
    }
    db::Reply reply = session->stream(statement);
    if (!reply.ok) {
        end.outcome = ListEnd::Outcome::failed;
        end.error = reply.error;
        return end;
    }
    if (!reply.rows)
        return end; // a statement without rows lists nothing

    const int dates = static_cast<int>(dateFields.size());
    VehicleRowReader reader(*reply.rows, dateFields, loginDateTime);
    auto part = std::make_shared<VehicleRows>(dates);
    Clock::time_point handedAt = Clock::now();
    const auto partTime = std::chrono::milliseconds(pacing.partMs);
    auto handOver = [&] {
        if (part->empty())
            return;
        part->shrinkToFit();
        end.rows += part->size();
        deliver(std::move(part));
        part = std::make_shared<VehicleRows>(dates);
        handedAt = Clock::now();
    };
    // Asked before each row: false to stop for the cancel flag or to hand the part over.
    const std::function<bool()> more = [&] {
        if (cancel.load(std::memory_order_relaxed))
            return false;
        if (part->empty())
            return true;
        if (end.rows == 0 && part->size() >= pacing.firstRows)
            return false;
        if (pacing.maxRows > 0 && part->size() >= pacing.maxRows)
            return false;
        return Clock::now() - handedAt < partTime;
    };
    for (;;) {
        const VehicleRowReader::Stop stop = reader.read(*part, more);
        if (cancel) {
            end.outcome = ListEnd::Outcome::cancelled;
            return end; // the rows go with the reply, and the connection with them
        }
        if (stop == VehicleRowReader::Stop::end)
            break;
        if (stop == VehicleRowReader::Stop::full && part->empty()) {
            end.outcome = ListEnd::Outcome::tooLong;
            return end;
        }
        handOver();
    }
    if (reply.rows->failed()) {
        end.outcome = ListEnd::Outcome::cutShort;
        end.error = reply.rows->error();
        return end;
    }
    handOver();
    return end;
}

} // namespace fd::fleet
