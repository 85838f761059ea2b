#include "fees/LedgerSchema.h"

namespace fd::fees {

QList<db::Statement> ledgerTables()
{
    return {
        db::Statement::verbatim(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS shoufeijilu ("
            " ID BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY,"
            " leixing VARCHAR(4) NOT NULL,"
            " cheliangid INT NOT NULL,"
            " cepaihao VARCHAR(20) NOT NULL,"
            " cezuxingming VARCHAR(50) NOT NULL DEFAULT '',"
            " feiyong VARCHAR(4) NOT NULL,"
            " qitamingcheng VARCHAR(50) NOT NULL DEFAULT '',"
            " qijian INT NOT NULL,"
            " jine BIGINT NOT NULL,"
            " fangshi VARCHAR(8) NOT NULL DEFAULT '',"
            " jiaokuanren VARCHAR(50) NOT NULL DEFAULT '',"
            " beizhu VARCHAR(200) NOT NULL DEFAULT '',"
            " yueshu INT NULL,"
            " daoqiqian DATE NULL, daoqihou DATE NULL,"
            " shoujuhao VARCHAR(40) NULL,"
            " zuofeiid BIGINT NULL,"
            " zuofeiyuanyin VARCHAR(200) NOT NULL DEFAULT '',"
            " dayincishu INT NOT NULL DEFAULT 0,"
            " jingbanren VARCHAR(50) NOT NULL,"
            " jiqi VARCHAR(64) NOT NULL DEFAULT '',"
            " shijian DATETIME NOT NULL,"
            " UNIQUE KEY uk_shoujuhao (shoujuhao),"
            " UNIQUE KEY uk_zuofei (zuofeiid),"
            " KEY k_shijian (shijian),"
            " KEY k_cheliang (cheliangid, feiyong, qijian),"
            " KEY k_feiyong (feiyong, cheliangid, qitamingcheng, qijian),"
            " KEY k_jingbanren (jingbanren, shijian)"
            ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        db::Statement::verbatim(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS shoujuhaoma ("
            " qianzhui VARCHAR(20) NOT NULL,"
            " nian INT NOT NULL,"
            " xuhao INT NOT NULL,"
            " PRIMARY KEY (qianzhui, nian)"
            ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
    };
}

bool ensureLedgerTables(db::Connection& session, QString* error)
{
    const db::Reply reply = session.runAll(ledgerTables());
    if (!reply.ok && error)
        *error = reply.error;
    return reply.ok;
}

} // namespace fd::fees
