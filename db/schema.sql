-- The database of the fleet register. All texts are GBK.
CREATE DATABASE IF NOT EXISTS `yunsugongsi` DEFAULT CHARACTER SET gbk COLLATE gbk_chinese_ci;
USE `yunsugongsi`;

-- One row per vehicle: the key, 55 text columns, 14 date columns and 10 picture file names.
CREATE TABLE IF NOT EXISTS `celiangzongbiao` (
  `ID` INT NOT NULL AUTO_INCREMENT,
  `danganbianhao` VARCHAR(255) NULL,
  `cepaihao` VARCHAR(255) NULL,
  `cezuxingming` VARCHAR(255) NULL,
  `cezudianhua` VARCHAR(255) NULL,
  `jiasiyuanxingming` VARCHAR(255) NULL,
  `guacepaihao` VARCHAR(255) NULL,
  `cezusenfenzenghao` VARCHAR(255) NULL,
  `celiangzuangtai` VARCHAR(255) NULL,
  `jiasiyuanzengjianhao` VARCHAR(255) NULL,
  `jiasiyuandianhua` VARCHAR(255) NULL,
  `zigezenghao` VARCHAR(255) NULL,
  `fadongjihao` VARCHAR(255) NULL,
  `zucejiahao` VARCHAR(255) NULL,
  `guacejiahao` VARCHAR(255) NULL,
  `zucedunwei` VARCHAR(255) NULL,
  `guacedunwei` VARCHAR(255) NULL,
  `zucepinpai` VARCHAR(255) NULL,
  `guacepinpai` VARCHAR(255) NULL,
  `goucefangsi` VARCHAR(255) NULL,
  `celiangyanse` VARCHAR(255) NULL,
  `cezuxiangxizuzi` TEXT NULL,
  `jibenbeizu` TEXT NULL,
  `jibenjingbanren` VARCHAR(255) NULL,
  `senceyingjiaofei` VARCHAR(255) NULL,
  `senceyijiaofei` VARCHAR(255) NULL,
  `sencehaiqianfei` VARCHAR(255) NULL,
  `secejingbanren` VARCHAR(255) NULL,
  `secebeizu` TEXT NULL,
  `baoxiangongsimingceng` VARCHAR(255) NULL,
  `toubaoxianzong` VARCHAR(255) NULL,
  `zucesangxiandanhao` VARCHAR(255) NULL,
  `zuceqiangxiangdanhao` VARCHAR(255) NULL,
  `guacesangxiangdanhao` VARCHAR(255) NULL,
  `jiaoqiangxian` VARCHAR(255) NULL,
  `cesun` VARCHAR(255) NULL,
  `bujimianpei` VARCHAR(255) NULL,
  `sanze` VARCHAR(255) NULL,
  `renyuan` VARCHAR(255) NULL,
  `qita` VARCHAR(255) NULL,
  `baoxianyingjiaofei` VARCHAR(255) NULL,
  `baoxianyijiaofei` VARCHAR(255) NULL,
  `baoxianhaiqianfei` VARCHAR(255) NULL,
  `baoxianjingbanren` VARCHAR(255) NULL,
  `baoxianbeizu` TEXT NULL,
  `yingyunzenghao` VARCHAR(255) NULL,
  `yinyunzengyingjiaofei` VARCHAR(255) NULL,
  `yinyunzengyijiaofei` VARCHAR(255) NULL,
  `yinyunzenghaiqianfei` VARCHAR(255) NULL,
  `yingyunjingbanren` VARCHAR(255) NULL,
  `yinyunbeizu` TEXT NULL,
  `guanliyingjiaofei` VARCHAR(255) NULL,
  `guanliyijiaofei` VARCHAR(255) NULL,
  `guanlihaiqianfei` VARCHAR(255) NULL,
  `guanlijingbanren` VARCHAR(255) NULL,
  `guanlibeizu` TEXT NULL,
  `jiasizengyouxiaoqi` DATE NULL,
  `zigezengyouxiaoqi` DATE NULL,
  `ruhusijian` DATE NULL,
  `zuceyouxiaoriqi` DATE NULL,
  `guanceyouxiaoriqi` DATE NULL,
  `secejiaofeisijian` DATE NULL,
  `zucebaoxianyouxiaoqi` DATE NULL,
  `guacebaoxianyouxiaoqi` DATE NULL,
  `baoxianjiaofeiriqi` DATE NULL,
  `yingyunzengcucibanzengqi` DATE NULL,
  `yingyunzengyouxiaoqi` DATE NULL,
  `yingyunjiaofeiriqi` DATE NULL,
  `guanlifeiyouxiaoqi` DATE NULL,
  `guanlijiaofeiriqi` DATE NULL,
  `cezusenfenzengtupian` VARCHAR(255) NULL,
  `jiasiyuansenfentupian` VARCHAR(255) NULL,
  `zigezengtupian` VARCHAR(255) NULL,
  `yingyunzengtupian` VARCHAR(255) NULL,
  `xingcezengtupian1` VARCHAR(255) NULL,
  `xingcezengtupian2` VARCHAR(255) NULL,
  `zuceqiangxiantupian` VARCHAR(255) NULL,
  `zucesangxiantupian` VARCHAR(255) NULL,
  `guacebaoxiantupina` VARCHAR(255) NULL,
  `jungonghegezengtupian` VARCHAR(255) NULL,
  PRIMARY KEY (`ID`),
  KEY `idx_cepaihao` (`cepaihao`),
  KEY `idx_danganbianhao` (`danganbianhao`),
  KEY `idx_zuceyouxiaoriqi` (`zuceyouxiaoriqi`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- Users as older programs know them. The program keeps its accounts in yonghuzhanghu and clears
-- the plain password here once an account has its hash (unless an office asks to keep it).
CREATE TABLE IF NOT EXISTS `mimabiao` (
  `ID` INT NOT NULL AUTO_INCREMENT,
  `yonghuming` VARCHAR(64) NOT NULL DEFAULT '',
  `mima` VARCHAR(64) NOT NULL DEFAULT '',
  PRIMARY KEY (`ID`),
  KEY `idx_yonghuming` (`yonghuming`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- The log of sent text messages.
CREATE TABLE IF NOT EXISTS `duanxinbiao` (
  `ID` INT NOT NULL AUTO_INCREMENT,
  `cepaihao` VARCHAR(64) NULL,
  `dianhua` VARCHAR(64) NULL,
  `sijian` VARCHAR(64) NULL,
  `neirong` TEXT NULL,
  PRIMARY KEY (`ID`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- Reminder rules: for each watched expiry date (a column of celiangzongbiao) how the reminder
-- names the document and what it asks, the days before expiry to remind ("30,7"), once more on
-- the day after expiry, on or off. The program creates this and the next three when missing.
CREATE TABLE IF NOT EXISTS `tixingguize` (
  `wendang` VARCHAR(64) NOT NULL,
  `mingcheng` VARCHAR(64) NOT NULL DEFAULT '',
  `banli` VARCHAR(64) NOT NULL DEFAULT '',
  `tiqiantianshu` VARCHAR(255) NOT NULL DEFAULT '30,7',
  `guoqicitian` TINYINT NOT NULL DEFAULT 1,
  `qiyong` TINYINT NOT NULL DEFAULT 1,
  PRIMARY KEY (`wendang`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- Options of the reminders: houzhui, the signature every reminder ends with.
CREATE TABLE IF NOT EXISTS `tixingshezhi` (
  `mingcheng` VARCHAR(64) NOT NULL,
  `zhi` VARCHAR(255) NOT NULL DEFAULT '',
  PRIMARY KEY (`mingcheng`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- One row per reminder stage (vehicle, document, expiry date, stage: days before expiry, -1 the
-- day after): claimed before the request (jieguo NULL), given its result after it. The unique key
-- lets one run of several claim a stage.
CREATE TABLE IF NOT EXISTS `tixingjilu` (
  `ID` INT NOT NULL AUTO_INCREMENT,
  `cheliangid` INT NOT NULL,
  `cepaihao` VARCHAR(64) NULL,
  `wendang` VARCHAR(64) NOT NULL,
  `youxiaoqi` DATE NOT NULL,
  `jieduan` INT NOT NULL,
  `dianhua` VARCHAR(64) NULL,
  `neirong` TEXT NULL,
  `biaojishijian` DATETIME NOT NULL,
  `jieguo` VARCHAR(16) NULL,
  `jieguoshijian` DATETIME NULL,
  `jiqi` VARCHAR(64) NULL,
  PRIMARY KEY (`ID`),
  UNIQUE KEY `uk_jieduan` (`cheliangid`,`wendang`,`youxiaoqi`,`jieduan`),
  KEY `idx_cepaihao` (`cepaihao`),
  KEY `idx_youxiaoqi` (`youxiaoqi`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- The run sending the reminders now, one at a time for the company (mingcheng 'fasong'): the
-- token of the run that holds it (empty when free), its machine, its start and its heartbeat,
-- refreshed before each message; a heartbeat older than five minutes is a dead run's.
CREATE TABLE IF NOT EXISTS `tixingyunxing` (
  `mingcheng` VARCHAR(16) NOT NULL,
  `pingzheng` VARCHAR(64) NOT NULL DEFAULT '',
  `jiqi` VARCHAR(64) NULL,
  `kaishishijian` DATETIME NULL,
  `xintiaoshijian` DATETIME NULL,
  PRIMARY KEY (`mingcheng`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- The history of the vehicles: one row per changed column of a vehicle (cheliangid is its ID)
-- for every add (新增), change (修改) and picture upload (图片): who (the login user), from which
-- machine, the server's time of the change, the old and the new value. Written in the same
-- transaction as the change; the program creates it when missing.
CREATE TABLE IF NOT EXISTS `xiugaijilu` (
  `ID` BIGINT NOT NULL AUTO_INCREMENT,
  `cheliangid` INT NOT NULL,
  `caozuo` VARCHAR(16) NOT NULL DEFAULT '',
  `yonghu` VARCHAR(64) NOT NULL DEFAULT '',
  `jiqi` VARCHAR(255) NOT NULL DEFAULT '',
  `shijian` DATETIME NOT NULL,
  `ziduan` VARCHAR(64) NOT NULL,
  `jiuzhi` TEXT NULL,
  `xinzhi` TEXT NULL,
  PRIMARY KEY (`ID`),
  KEY `idx_cheliang_shijian` (`cheliangid`,`shijian`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- The plates (ziduan cepaihao) and file numbers (danganbianhao) claimed by the adds: an add writes
-- the claim of its values inside its transaction, so that two offices adding one plate at once,
-- also through two cluster nodes, end with one vehicle. Whether a value is taken is decided by
-- celiangzongbiao; cishu counts the adds that claimed it. The program creates it when missing.
CREATE TABLE IF NOT EXISTS `haomazhanyong` (
  `ziduan` VARCHAR(32) NOT NULL,
  `zhi` VARCHAR(255) NOT NULL,
  `cishu` INT NOT NULL DEFAULT 1,
  PRIMARY KEY (`ziduan`,`zhi`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- The result of every backup by fleetdesk-backup: its start, how long it took, the archive, success,
-- the reason of a failure (shown at the next login) and the machine.
CREATE TABLE IF NOT EXISTS `beifenjilu` (
  `ID` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `kaishi` DATETIME NOT NULL,
  `haoshi` DOUBLE NOT NULL DEFAULT 0,
  `dangan` VARCHAR(500) NOT NULL DEFAULT '',
  `chenggong` TINYINT NOT NULL DEFAULT 0,
  `yuanyin` TEXT NULL,
  `jiqi` VARCHAR(255) NOT NULL DEFAULT ''
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- The restores over the program's database: when, the time of the backup restored, the archive and
-- the machine. A session opened before the last restore is told to log in again.
CREATE TABLE IF NOT EXISTS `huifujilu` (
  `ID` INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `shijian` DATETIME NOT NULL,
  `beifenshijian` DATETIME NULL,
  `dangan` VARCHAR(500) NOT NULL DEFAULT '',
  `jiqi` VARCHAR(255) NOT NULL DEFAULT ''
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- The fee ledger: every payment (收费), amount due (应缴, opening a period qijian) and void (作废,
-- pointing at its payment by zuofeiid) as a row of its own, amounts in fen; a payment carries its
-- receipt number, the months paid for and how it moved 管理费到期日期. The program creates it when
-- missing.
CREATE TABLE IF NOT EXISTS `shoufeijilu` (
  `ID` BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `leixing` VARCHAR(4) NOT NULL,
  `cheliangid` INT NOT NULL,
  `cepaihao` VARCHAR(20) NOT NULL,
  `cezuxingming` VARCHAR(50) NOT NULL DEFAULT '',
  `feiyong` VARCHAR(4) NOT NULL,
  `qitamingcheng` VARCHAR(50) NOT NULL DEFAULT '',
  `qijian` INT NOT NULL,
  `jine` BIGINT NOT NULL,
  `fangshi` VARCHAR(8) NOT NULL DEFAULT '',
  `jiaokuanren` VARCHAR(50) NOT NULL DEFAULT '',
  `beizhu` VARCHAR(200) NOT NULL DEFAULT '',
  `yueshu` INT NULL,
  `daoqiqian` DATE NULL, `daoqihou` DATE NULL,
  `shoujuhao` VARCHAR(40) NULL,
  `zuofeiid` BIGINT NULL,
  `zuofeiyuanyin` VARCHAR(200) NOT NULL DEFAULT '',
  `dayincishu` INT NOT NULL DEFAULT 0,
  `jingbanren` VARCHAR(50) NOT NULL,
  `jiqi` VARCHAR(64) NOT NULL DEFAULT '',
  `shijian` DATETIME NOT NULL,
  UNIQUE KEY `uk_shoujuhao` (`shoujuhao`),
  UNIQUE KEY `uk_zuofei` (`zuofeiid`),
  KEY `k_shijian` (`shijian`),
  KEY `k_leixing` (`leixing`,`shijian`),
  KEY `k_cheliang` (`cheliangid`,`feiyong`,`qijian`),
  KEY `k_feiyong` (`feiyong`,`cheliangid`,`qitamingcheng`,`qijian`),
  KEY `k_jingbanren` (`jingbanren`,`shijian`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- The receipt numbers: the last sequence number an office (its prefix, qianzhui) gave in a year,
-- taken inside the payment's transaction.
CREATE TABLE IF NOT EXISTS `shoujuhaoma` (
  `qianzhui` VARCHAR(20) NOT NULL,
  `nian` INT NOT NULL,
  `xuhao` INT NOT NULL,
  PRIMARY KEY (`qianzhui`,`nian`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- The staff accounts: the password as a salted slow hash (Argon2id, libsodium's string form), the
-- role by its name (管理员, 业务员, 收费员, 查询), disabled, to change the password at the next login,
-- locked until, the last unlock and the last login. Filled from mimabiao at a login.
CREATE TABLE IF NOT EXISTS `yonghuzhanghu` (
  `yonghuming` VARCHAR(64) NOT NULL,
  `mimahash` VARCHAR(255) NOT NULL DEFAULT '',
  `juese` VARCHAR(8) NOT NULL DEFAULT '',
  `tingyong` TINYINT NOT NULL DEFAULT 0,
  `xuxiugai` TINYINT NOT NULL DEFAULT 0,
  `suodingzhi` DATETIME NULL,
  `jiesuoshijian` DATETIME NULL,
  `zuihoudenglu` DATETIME NULL,
  `chuangjianshijian` DATETIME NULL,
  PRIMARY KEY (`yonghuming`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- Every login attempt: user, machine, time and result (成功, 密码错误, 已锁定, 已停用, 无此用户).
CREATE TABLE IF NOT EXISTS `denglujilu` (
  `ID` BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  `yonghuming` VARCHAR(64) NOT NULL,
  `jiqi` VARCHAR(255) NOT NULL DEFAULT '',
  `shijian` DATETIME NOT NULL,
  `jieguo` VARCHAR(16) NOT NULL,
  KEY `k_yonghu` (`yonghuming`,`shijian`),
  KEY `k_shijian` (`shijian`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- The imports of vehicles from sheets (导入车辆, fleetdesk-import): one row per import, with the file,
-- the user, the machine, the time and whether it was undone (chexiao). The program creates it when
-- missing.
CREATE TABLE IF NOT EXISTS `daorupici` (
  `ID` BIGINT NOT NULL AUTO_INCREMENT,
  `wenjian` VARCHAR(255) NOT NULL DEFAULT '',
  `yonghu` VARCHAR(64) NOT NULL DEFAULT '',
  `jiqi` VARCHAR(255) NOT NULL DEFAULT '',
  `shijian` DATETIME NOT NULL,
  `chexiao` TINYINT NOT NULL DEFAULT 0,
  PRIMARY KEY (`ID`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;

-- One row per vehicle an import (daoruid) added (新增) or changed (修改), written in the same
-- transaction as the vehicle: the values the import replaced (jiuzhi, JSON) and the vehicle's last
-- history row after the import (lishiid), so an undo sees whether the vehicle changed since.
CREATE TABLE IF NOT EXISTS `daorujilu` (
  `ID` BIGINT NOT NULL AUTO_INCREMENT,
  `daoruid` BIGINT NOT NULL,
  `cheliangid` INT NOT NULL,
  `caozuo` VARCHAR(16) NOT NULL,
  `jiuzhi` MEDIUMTEXT NULL,
  `lishiid` BIGINT NOT NULL DEFAULT 0,
  PRIMARY KEY (`ID`),
  KEY `idx_daoruid` (`daoruid`)
) ENGINE=InnoDB DEFAULT CHARSET=gbk;
