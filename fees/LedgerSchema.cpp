#include "fees/LedgerSchema.h"

namespace fd::fees {

QList<db::Statement> ledgerTables()
{
    return {
        db::Statement::verbatim(QStringLiteral("CREATE TABLE IF NOT EXISTS shoufeijilu (\n"
                                               "  ID BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY,\n"
                                               "  leixing VARCHAR(4) NOT NULL,\n"
                                               "  cheliangid INT NOT NULL,\n"
                                               "  cepaihao VARCHAR(20) NOT NULL,\n"
                                               "  cezuxingming VARCHAR(50) NOT NULL DEFAULT '',\n"
                                               "  feiyong VARCHAR(4) NOT NULL,\n"
                                               "  qitamingcheng VARCHAR(50) NOT NULL DEFAULT '',\n"
                                               "  qijian INT NOT NULL,\n"
                                               "  jine BIGINT NOT NULL,\n"
                                               "  fangshi VARCHAR(8) NOT NULL DEFAULT '',\n"
                                               "  jiaokuanren VARCHAR(50) NOT NULL DEFAULT '',\n"
                                               "  beizhu VARCHAR(200) NOT NULL DEFAULT '',\n"
                                               "  yueshu INT NULL,\n"
                                               "  daoqiqian DATE NULL, daoqihou DATE NULL,\n"
                                               "  shoujuhao VARCHAR(40) NULL,\n"
                                               "  zuofeiid BIGINT NULL,\n"
                                               "  zuofeiyuanyin VARCHAR(200) NOT NULL DEFAULT '',\n"
                                               "  dayincishu INT NOT NULL DEFAULT 0,\n"
                                               "  jingbanren VARCHAR(50) NOT NULL,\n"
                                               "  jiqi VARCHAR(64) NOT NULL DEFAULT '',\n"
                                               "  shijian DATETIME NOT NULL,\n"
                                               "  UNIQUE KEY uk_shoujuhao (shoujuhao),\n"
                                               "  UNIQUE KEY uk_zuofei (zuofeiid),\n"
                                               "  KEY k_shijian (shijian),\n"
                                               "  KEY k_cheliang (cheliangid, feiyong, qijian),\n"
                                               "  KEY k_jingbanren (jingbanren, shijian)\n"
                                               ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
        db::Statement::verbatim(QStringLiteral("CREATE TABLE IF NOT EXISTS shoujuhaoma (\n"
                                               "  qianzhui VARCHAR(20) NOT NULL,\n"
                                               "  nian INT NOT NULL,\n"
                                               "  xuhao INT NOT NULL,\n"
                                               "  PRIMARY KEY (qianzhui, nian)\n"
                                               ") ENGINE=InnoDB DEFAULT CHARSET=gbk")),
    };
}

} // namespace fd::fees
