#include "reminders/RunClaim.h"

#include "db/Legacy.h"

#include <QUuid>

namespace fd::reminders {
namespace {

    constexpr unsigned kDeadlock = 1213;
    const QString kRunKey = QStringLiteral("mingcheng='fasong'");

} // namespace

RunClaim claimRun(const db::ConnectionPtr& connection, const QString& runner)
{
    RunClaim claim;
    const QString token = QUuid::createUuid().toString(QUuid::WithoutBraces);
    // The row exists once; then the run is taken in one transaction that matches it only while it
    // is free or its holder's heartbeat is stale. Of two runs at once (on one server or on two
    // nodes) one matches, the other matches nothing or loses the commit.
    bool ok = db::dbExecute(connection, QStringLiteral("insert ignore into tixingyunxing set ") + kRunKey);
    if (ok) {
        ok = db::dbUpdate(connection, QStringLiteral("tixingyunxing"),
            QStringLiteral("pingzheng=%1,jiqi=%2,kaishishijian=now(),xintiaoshijian=now()")
                .arg(db::dbQuote(connection, token), db::dbQuote(connection, runner.left(64))),
            kRunKey
                + QStringLiteral(" and (pingzheng='' or xintiaoshijian is null or xintiaoshijian<now()-interval %1 minute)")
                      .arg(kStaleClaimMinutes));
        if (ok && db::dbMatchedRows(connection) == 1) {
            claim.outcome = RunClaim::Outcome::Claimed;
            claim.token = token;
            return claim;
        }
    }
    if (!ok && connection && db::dbLastErrno(connection) != kDeadlock) {
        claim.error = db::dbLastError(connection);
        return claim;
    }
    claim.outcome = RunClaim::Outcome::Busy;
    if (db::dbExecute(connection,
            QStringLiteral("select jiqi,kaishishijian from tixingyunxing where ") + kRunKey)) {
        db::ResultPtr r = db::dbStoreResult(connection);
        QString machine, started;
        db::dbReadField(r, "jiqi", machine);
        db::dbReadField(r, "kaishishijian", started);
        claim.holder = QStringLiteral("电脑 %1，%2开始").arg(machine, started);
    }
    return claim;
}

bool keepRunClaim(const db::ConnectionPtr& connection, const QString& token)
{
    if (!db::dbUpdate(connection, QStringLiteral("tixingyunxing"), QStringLiteral("xintiaoshijian=now()"),
            kRunKey + QStringLiteral(" and pingzheng=") + db::dbQuote(connection, token)))
        return true;
    return db::dbMatchedRows(connection) == 1;
}

void releaseRun(const db::ConnectionPtr& connection, const QString& token)
{
    db::dbUpdate(connection, QStringLiteral("tixingyunxing"), QStringLiteral("pingzheng=''"),
        kRunKey + QStringLiteral(" and pingzheng=") + db::dbQuote(connection, token));
}

} // namespace fd::reminders
