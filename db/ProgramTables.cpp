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
        // Reminder rules: for each watched expiry date the document's name in the message, what it
        // asks, the days before expiry, once more the day after, on or off.
        Statement::verbatim(QString::fromUtf8(
        "CREATE TABLE IF NOT EXISTS `tixingguize` ("
        " `wendang` VARCHAR(64) NOT NULL,"
        " `mingcheng` VARCHAR(64) NOT NULL DEFAULT '',"
        " `banli` VARCHAR(64) NOT NULL DEFAULT '',"
        " `tiqiantianshu` VARCHAR(255) NOT NULL DEFAULT '30,7',"
        " `guoqicitian` TINYINT NOT NULL DEFAULT 1,"
        " `qiyong` TINYINT NOT NULL DEFAULT 1,"
        " PRIMARY KEY (`wendang`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        // Options of the reminders: the signature.
        Statement::verbatim(QString::fromUtf8(
        "CREATE TABLE IF NOT EXISTS `tixingshezhi` ("
        " `mingcheng` VARCHAR(64) NOT NULL,"
        " `zhi` VARCHAR(255) NOT NULL DEFAULT '',"
        " PRIMARY KEY (`mingcheng`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        // One row per reminder stage, claimed before its request and given its result after it.
        Statement::verbatim(QString::fromUtf8(
        "CREATE TABLE IF NOT EXISTS `tixingjilu` ("
        " `ID` INT NOT NULL AUTO_INCREMENT,"
        " `cheliangid` INT NOT NULL,"
        " `cepaihao` VARCHAR(64) NULL,"
        " `wendang` VARCHAR(64) NOT NULL,"
        " `youxiaoqi` DATE NOT NULL,"
        " `jieduan` INT NOT NULL,"
        " `dianhua` VARCHAR(64) NULL,"
        " `neirong` TEXT NULL,"
        " `biaojishijian` DATETIME NOT NULL,"
        " `jieguo` VARCHAR(16) NULL,"
        " `jieguoshijian` DATETIME NULL,"
        " `jiqi` VARCHAR(64) NULL,"
        " PRIMARY KEY (`ID`),"
        " UNIQUE KEY `uk_jieduan` (`cheliangid`,`wendang`,`youxiaoqi`,`jieduan`),"
        " KEY `idx_cepaihao` (`cepaihao`),"
        " KEY `idx_youxiaoqi` (`youxiaoqi`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        // The reminder run sending now, one at a time for the company.
        Statement::verbatim(QString::fromUtf8(
        "CREATE TABLE IF NOT EXISTS `tixingyunxing` ("
        " `mingcheng` VARCHAR(16) NOT NULL,"
        " `pingzheng` VARCHAR(64) NOT NULL DEFAULT '',"
        " `jiqi` VARCHAR(64) NULL,"
        " `kaishishijian` DATETIME NULL,"
        " `xintiaoshijian` DATETIME NULL,"
        " PRIMARY KEY (`mingcheng`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        // The result of every backup, the last one shown at the login when it failed.
        Statement::verbatim(QString::fromUtf8(
        "CREATE TABLE IF NOT EXISTS `beifenjilu` ("
        "`ID` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,"
        "`kaishi` DATETIME NOT NULL,"
        "`haoshi` DOUBLE NOT NULL DEFAULT 0,"
        "`dangan` VARCHAR(500) NOT NULL DEFAULT '',"
        "`chenggong` TINYINT NOT NULL DEFAULT 0,"
        "`yuanyin` TEXT NULL,"
        "`jiqi` VARCHAR(255) NOT NULL DEFAULT ''"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        // The restores over the program's database, which end the sessions opened before them.
        Statement::verbatim(QString::fromUtf8(
        "CREATE TABLE IF NOT EXISTS `huifujilu` ("
        "`ID` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,"
        "`shijian` DATETIME NOT NULL,"
        "`beifenshijian` DATETIME NULL,"
        "`dangan` VARCHAR(500) NOT NULL DEFAULT '',"
        "`jiqi` VARCHAR(255) NOT NULL DEFAULT ''"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        // The fee ledger: every payment (收费), amount due (应缴) and void (作废) as a row of its own;
        // amounts in fen. A void points at its payment (zuofeiid), which keeps its receipt number.
        Statement::verbatim(QString::fromUtf8(
        "CREATE TABLE IF NOT EXISTS `shoufeijilu` ("
        " `ID` BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY,"
        " `leixing` VARCHAR(4) NOT NULL,"
        " `cheliangid` INT NOT NULL,"
        " `cepaihao` VARCHAR(20) NOT NULL,"
        " `cezuxingming` VARCHAR(50) NOT NULL DEFAULT '',"
        " `feiyong` VARCHAR(4) NOT NULL,"
        " `qitamingcheng` VARCHAR(50) NOT NULL DEFAULT '',"
        " `qijian` INT NOT NULL,"
        " `jine` BIGINT NOT NULL,"
        " `fangshi` VARCHAR(8) NOT NULL DEFAULT '',"
        " `jiaokuanren` VARCHAR(50) NOT NULL DEFAULT '',"
        " `beizhu` VARCHAR(200) NOT NULL DEFAULT '',"
        " `yueshu` INT NULL,"
        " `daoqiqian` DATE NULL, `daoqihou` DATE NULL,"
        " `shoujuhao` VARCHAR(40) NULL,"
        " `zuofeiid` BIGINT NULL,"
        " `zuofeiyuanyin` VARCHAR(200) NOT NULL DEFAULT '',"
        " `dayincishu` INT NOT NULL DEFAULT 0,"
        " `jingbanren` VARCHAR(50) NOT NULL,"
        " `jiqi` VARCHAR(64) NOT NULL DEFAULT '',"
        " `shijian` DATETIME NOT NULL,"
        " UNIQUE KEY `uk_shoujuhao` (`shoujuhao`),"
        " UNIQUE KEY `uk_zuofei` (`zuofeiid`),"
        " KEY `k_shijian` (`shijian`),"
        " KEY `k_leixing` (`leixing`,`shijian`),"
        " KEY `k_cheliang` (`cheliangid`,`feiyong`,`qijian`),"
        " KEY `k_feiyong` (`feiyong`,`cheliangid`,`qitamingcheng`,`qijian`),"
        " KEY `k_jingbanren` (`jingbanren`,`shijian`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        // The receipt numbers' sequences: the last number an office (its prefix) gave in a year.
        Statement::verbatim(QString::fromUtf8(
        "CREATE TABLE IF NOT EXISTS `shoujuhaoma` ("
        " `qianzhui` VARCHAR(20) NOT NULL,"
        " `nian` INT NOT NULL,"
        " `xuhao` INT NOT NULL,"
        " PRIMARY KEY (`qianzhui`,`nian`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        // The staff accounts: the password as a salted slow hash (Argon2id, libsodium's string form),
        // the role by its name, disabled, to change the password at the next login, locked until
        // (after repeated wrong passwords), the last unlock by an administrator and the last login.
        Statement::verbatim(QString::fromUtf8(
        "CREATE TABLE IF NOT EXISTS `yonghuzhanghu` ("
        " `yonghuming` VARCHAR(64) NOT NULL,"
        " `mimahash` VARCHAR(255) NOT NULL DEFAULT '',"
        " `juese` VARCHAR(8) NOT NULL DEFAULT '',"
        " `tingyong` TINYINT NOT NULL DEFAULT 0,"
        " `xuxiugai` TINYINT NOT NULL DEFAULT 0,"
        " `suodingzhi` DATETIME NULL,"
        " `jiesuoshijian` DATETIME NULL,"
        " `zuihoudenglu` DATETIME NULL,"
        " `chuangjianshijian` DATETIME NULL,"
        " PRIMARY KEY (`yonghuming`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        // Every login attempt: who, from which machine, when, and its result.
        Statement::verbatim(QString::fromUtf8(
        "CREATE TABLE IF NOT EXISTS `denglujilu` ("
        " `ID` BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY,"
        " `yonghuming` VARCHAR(64) NOT NULL,"
        " `jiqi` VARCHAR(255) NOT NULL DEFAULT '',"
        " `shijian` DATETIME NOT NULL,"
        " `jieguo` VARCHAR(16) NOT NULL,"
        " KEY `k_yonghu` (`yonghuming`,`shijian`),"
        " KEY `k_shijian` (`shijian`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        // The imports of vehicles from sheets: one row per import (undone: chexiao) ...
        Statement::verbatim(QString::fromUtf8(
        "CREATE TABLE IF NOT EXISTS `daorupici` ("
        " `ID` BIGINT NOT NULL AUTO_INCREMENT,"
        " `wenjian` VARCHAR(255) NOT NULL DEFAULT '',"
        " `yonghu` VARCHAR(64) NOT NULL DEFAULT '',"
        " `jiqi` VARCHAR(255) NOT NULL DEFAULT '',"
        " `shijian` DATETIME NOT NULL,"
        " `chexiao` TINYINT NOT NULL DEFAULT 0,"
        " PRIMARY KEY (`ID`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        // ... and one per vehicle an import added (新增) or changed (修改), written in the vehicle's
        // own transaction: the values it replaced and the vehicle's last history row after it.
        Statement::verbatim(QString::fromUtf8(
        "CREATE TABLE IF NOT EXISTS `daorujilu` ("
        " `ID` BIGINT NOT NULL AUTO_INCREMENT,"
        " `daoruid` BIGINT NOT NULL,"
        " `cheliangid` INT NOT NULL,"
        " `caozuo` VARCHAR(16) NOT NULL,"
        " `jiuzhi` MEDIUMTEXT NULL,"
        " `lishiid` BIGINT NOT NULL DEFAULT 0,"
        " PRIMARY KEY (`ID`),"
        " KEY `idx_daoruid` (`daoruid`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
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

LastRestore lastRestore(const ConnectionPtr& connection)
{
    LastRestore last;
    if (!connection)
        return last;
    const Reply reply
        = connection->run(Statement("SELECT ID, shijian, dangan, beifenshijian FROM `huifujilu` ORDER BY ID DESC LIMIT 1"));
    const ResultPtr& r = reply.rows;
    if (!reply.ok || !r || r->rowCount() == 0)
        return last;
    last.id = r->integer(0);
    last.when = r->dateTime(1);
    last.archive = r->text(2);
    last.backedUp = r->dateTime(3);
    return last;
}

} // namespace fd::db
