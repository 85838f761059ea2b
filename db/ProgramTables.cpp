#include "db/ProgramTables.h"

namespace fd::db {

const QList<Statement>& programTableStatements()
{
    static const QList<Statement> statements {
        // The history of the vehicles: one row per changed column of a change.
        Statement("CREATE TABLE IF NOT EXISTS `xiugaijilu` ("
                  " `ID` BIGINT NOT NULL AUTO_INCREMENT,"
                  " `cheliangid` INT NOT NULL,"
                  " `caozuo` VARCHAR(16) NOT NULL DEFAULT '',"
                  " `yonghu` VARCHAR(64) NOT NULL DEFAULT '',"
                  " `jiqi` VARCHAR(255) NOT NULL DEFAULT '',"
                  " `shijian` DATETIME NOT NULL,"
                  " `ziduan` VARCHAR(64) NOT NULL,"
                  " `jiuzhi` TEXT NULL,"
                  " `xinzhi` TEXT NULL,"
                  " PRIMARY KEY (`ID`),"
                  " KEY `idx_cheliang_shijian` (`cheliangid`,`shijian`)"
                  ") ENGINE=InnoDB DEFAULT CHARSET=gbk"),
        // The plates and file numbers claimed by the adds of vehicles.
        Statement("CREATE TABLE IF NOT EXISTS `haomazhanyong` ("
                  " `ziduan` VARCHAR(32) NOT NULL,"
                  " `zhi` VARCHAR(255) NOT NULL,"
                  " `cishu` INT NOT NULL DEFAULT 1,"
                  " PRIMARY KEY (`ziduan`,`zhi`)"
                  ") ENGINE=InnoDB DEFAULT CHARSET=gbk"),
    };
    return statements;
}

bool ensureProgramTables(Connection& session, QString* error)
{
    const Reply reply = session.runAll(programTableStatements());
    if (!reply.ok && error)
        *error = reply.error;
    return reply.ok;
}

} // namespace fd::db
