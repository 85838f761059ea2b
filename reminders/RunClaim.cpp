#include "reminders/RunClaim.h"

#include "db/ErrorCodes.h"

#include <QUuid>

namespace fd::reminders {
namespace {

    const QString kNoConnection = QStringLiteral("没有连接数据库");

} // namespace

RunClaim claimRun(const db::ConnectionPtr& connection, const QString& runner)
{
    RunClaim claim;
    if (!connection) {
        claim.error = kNoConnection;
        return claim;
    }
    const QString token = QUuid::createUuid().toString(QUuid::WithoutBraces);
    // The row exists once; then the run is taken in one transaction that matches it only while it
    // is free or its holder's heartbeat is stale. Of two runs at once (on one server or on two
    // nodes) one matches, the other matches nothing or loses the commit.
    db::Reply reply = connection->run(db::Statement("insert ignore into tixingyunxing set mingcheng='fasong'"));
    if (reply.ok) {
        reply = connection->run(
            db::Statement("update tixingyunxing set pingzheng=?,jiqi=?,kaishishijian=now(),xintiaoshijian=now() "
                          "where mingcheng='fasong' and (pingzheng='' or xintiaoshijian is null or "
                          "xintiaoshijian<now()-interval ? minute)")
                .bind(token)
                .bind(runner.left(64))
                .bind(kStaleClaimMinutes));
        if (reply.ok && reply.matchedRows == 1) {
            claim.outcome = RunClaim::Outcome::Claimed;
            claim.token = token;
            return claim;
        }
    }
    if (!reply.ok && reply.errorCode != db::errors::kDeadlock) {
        claim.error = reply.error;
        return claim;
    }
    claim.outcome = RunClaim::Outcome::Busy;
    const db::Reply holder
        = connection->run(db::Statement("select jiqi,kaishishijian from tixingyunxing where mingcheng='fasong'"));
    if (holder.ok && holder.rows)
        claim.holder = QStringLiteral("电脑 %1，%2开始").arg(holder.rows->text("jiqi"), holder.rows->text("kaishishijian"));
    return claim;
}

bool keepRunClaim(const db::ConnectionPtr& connection, const QString& token)
{
    if (!connection)
        return true;
    const db::Reply reply = connection->run(
        db::Statement("update tixingyunxing set xintiaoshijian=now() where mingcheng='fasong' and pingzheng=?").bind(token));
    return !reply.ok || reply.matchedRows == 1;
}

void releaseRun(const db::ConnectionPtr& connection, const QString& token)
{
    if (connection)
        connection->run(
            db::Statement("update tixingyunxing set pingzheng='' where mingcheng='fasong' and pingzheng=?").bind(token));
}

} // namespace fd::reminders
