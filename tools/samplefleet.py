#!/usr/bin/env python3
"""Writes SQL that fills celiangzongbiao with a generated sample fleet.

    samplefleet.py N [--seed S] [--today YYYY-MM-DD] [--batch ROWS] [--pictures K] [--ledger]  > fleet.sql
    samplefleet.py --list-pictures K      (the picture files of the first K vehicles: name TAB kind)

Any N: plates and file numbers stay distinct (100 000 vehicles take about 4 s to generate and
about 5 s to load).

Owner names are Chinese, plates look like 豫H12345, phones are mobile numbers, and the watched
expiry dates spread from two years back to two years ahead of today, some NULL, so that every
colour band and every category shows. With --pictures K the first K vehicles name their ten document
pictures (plate, kind, ".jpg"); tools/stack.sh draws those files into the picture folder. The SQL is UTF-8; load it with
--default-character-set=utf8mb4 and the server stores it as GBK.

With --ledger the fee ledger (shoufeijilu, which db/schema.sql creates before this SQL is loaded) gets a
year of sample fees up to today: amounts due, payments by four clerks in the five methods (a few of
them today), two payments voided and taken again, receipt numbers without gaps (A2026-000001 on,
the sequence kept in shoujuhaoma). The vehicles' fee columns (应缴, 已缴, 还欠, 缴费时间, 经办人 of
审车, 保险 and 管理) are written to agree with the ledger's open periods; some vehicles without
ledger rows keep operating-fee texts as people type them ("1,200", "１２００", "一千"), so that the
fee views show what the money reader cannot read.
"""
import argparse
import datetime
import random
import sys

SURNAMES = "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏魏吕丁任沈姚卢姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛闫段雷侯龙史陶黎贺顾毛郝龚邵万钱严覃武戴莫孔向汤"
GIVEN = "伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀英华霞平刚桂兰玉萍红建国文辉力鹏飞宇浩然志刚春梅海燕小龙永红德胜保国长江卫东新民金山"
CITY_LETTERS = "HABCDEFGJKLMNPQRSU"
PROVINCES = "豫京津冀晋蒙辽吉黑沪苏浙皖闽赣鲁鄂湘粤桂琼渝川贵云藏陕甘青宁新"
MAKES = ["解放", "东风", "重汽", "陕汽", "福田", "江淮", "北奔", "红岩"]
COLOURS = ["红色", "蓝色", "白色", "黄色", "绿色"]
INSURERS = ["中国人保", "平安保险", "太平洋保险", "中华联合", "大地保险"]
STATUSES = ["正常"] * 18 + ["转出", "注销"]
CLERKS = ["小王", "小李", "张会计", "刘经理"]

WATCHED = ["zuceyouxiaoriqi", "yingyunzengyouxiaoqi", "zucebaoxianyouxiaoqi", "guacebaoxianyouxiaoqi",
           "zigezengyouxiaoqi", "jiasizengyouxiaoqi", "guanlifeiyouxiaoqi"]
OTHER_DATES = ["ruhusijian", "guanceyouxiaoriqi", "yingyunzengcucibanzengqi", "secejiaofeisijian",
               "baoxianjiaofeiriqi", "yingyunjiaofeiriqi", "guanlijiaofeiriqi"]
TEXTS = ["danganbianhao", "cepaihao", "cezuxingming", "cezudianhua", "jiasiyuanxingming", "guacepaihao",
         "cezusenfenzenghao", "celiangzuangtai", "zucepinpai", "guacepinpai", "celiangyanse", "zucedunwei",
         "guacedunwei", "baoxiangongsimingceng", "guanliyingjiaofei", "guanliyijiaofei", "guanlihaiqianfei",
         "jibenjingbanren", "cezuxiangxizuzi"]
COLUMNS = TEXTS + WATCHED + OTHER_DATES
# Document kind -> picture column.
PICTURES = [("车主身份证", "cezusenfenzengtupian"), ("驾驶员身份证", "jiasiyuansenfentupian"),
            ("资格证", "zigezengtupian"), ("营运证", "yingyunzengtupian"), ("行车证1", "xingcezengtupian1"),
            ("行车证2", "xingcezengtupian2"), ("主车强险", "zuceqiangxiantupian"), ("主车商险", "zucesangxiantupian"),
            ("挂车保险", "guacebaoxiantupina"), ("竣工合格证", "jungonghegezengtupian")]


def quote(v):
    if v is None:
        return "NULL"
    return "'" + str(v).replace("\\", "\\\\").replace("'", "\\'") + "'"


def name(rng):
    return rng.choice(SURNAMES) + "".join(rng.choice(GIVEN) for _ in range(rng.choice((1, 2))))


def plate_of(i):
    """A distinct plate for every i, 8 GBK bytes (province, city letter, five digits) for the first
    55.8 million vehicles and 9 bytes (six digits) after them; the first 100 000 are 豫H00000 on."""
    per_province = 100000 * len(CITY_LETTERS)
    if i < per_province * len(PROVINCES):
        province, rest = divmod(i, per_province)
        letter = CITY_LETTERS[rest // 100000]
        return "%s%s%05d" % (PROVINCES[province], letter, rest % 100000), letter
    i -= per_province * len(PROVINCES)
    per_province = 1000000 * len(CITY_LETTERS)
    province, rest = divmod(i, per_province)
    letter = CITY_LETTERS[rest // 1000000]
    return "%s%s%06d" % (PROVINCES[province % len(PROVINCES)], letter, rest % 1000000), letter


def row(i, rng, today):
    plate, plate_letter = plate_of(i)
    trailer = "%s%s%04d挂" % (plate[0], plate_letter, i % 10000)
    owner = name(rng)
    values = {
        "danganbianhao": "DA%06d" % (i + 1),
        "cepaihao": plate,
        "cezuxingming": owner,
        "cezudianhua": "1%d%09d" % (rng.choice((3, 5, 8)), rng.randrange(10**9)),
        "jiasiyuanxingming": owner if rng.random() < 0.6 else name(rng),
        "guacepaihao": trailer,
        "cezusenfenzenghao": "41%04d19%02d%02d%02d%04d" % (rng.randrange(10000), rng.randrange(60, 99),
                                                       rng.randrange(1, 13), rng.randrange(1, 29), rng.randrange(10000)),
        "celiangzuangtai": rng.choice(STATUSES),
        "zucepinpai": rng.choice(MAKES),
        "guacepinpai": rng.choice(MAKES),
        "celiangyanse": rng.choice(COLOURS),
        "zucedunwei": str(rng.choice((10, 15, 20, 25, 31))),
        "guacedunwei": str(rng.choice((20, 30, 34))),
        "baoxiangongsimingceng": rng.choice(INSURERS),
        "guanliyingjiaofei": "3000",
        "guanliyijiaofei": rng.choice(("3000", "1500", "0")),
        "guanlihaiqianfei": rng.choice(("0", "1500", "3000")),
        "jibenjingbanren": rng.choice(CLERKS),
        "cezuxiangxizuzi": "河南省新乡市%s路%d号" % (rng.choice(("人民", "解放", "胜利", "建设")), rng.randrange(1, 300)),
    }
    for col in WATCHED:
        if rng.random() < 0.03:
            values[col] = None
        else:
            values[col] = (today + datetime.timedelta(days=rng.randrange(-730, 731))).isoformat()
    for col in OTHER_DATES:
        values[col] = (today - datetime.timedelta(days=rng.randrange(0, 2000))).isoformat()
    return "(" + ",".join(quote(values[c]) for c in COLUMNS) + ")"


METHODS = ["现金"] * 5 + ["微信"] * 3 + ["支付宝"] * 2 + ["银行转账"] * 2 + ["其他"]
# Fee kind -> vehicle columns: due, paid, outstanding, date paid, clerk.
FEE_COLUMNS = {
    "审车费": ("senceyingjiaofei", "senceyijiaofei", "sencehaiqianfei", "secejiaofeisijian", "secejingbanren"),
    "保险费": ("baoxianyingjiaofei", "baoxianyijiaofei", "baoxianhaiqianfei", "baoxianjiaofeiriqi", "baoxianjingbanren"),
    "管理费": ("guanliyingjiaofei", "guanliyijiaofei", "guanlihaiqianfei", "guanlijiaofeiriqi", "guanlijingbanren"),
}
AWKWARD = ["1,200", "１２００", "1200元", " 300 ", "1200.5", "一千", "1200/年", "两千"]


def fen_text(fen):
    return "%d.%02d" % (fen // 100, fen % 100)


def ledger(count, seed, today, out):
    """The sample ledger of the first count vehicles (see the module's text)."""
    rng = random.Random(seed * 7 + 1)
    now = datetime.datetime.combine(today, datetime.time(17, 0))
    if today == datetime.date.today():
        now = min(now, datetime.datetime.now().replace(microsecond=0))

    def moment(day):
        t = datetime.datetime.combine(day, datetime.time(8, 30)) + datetime.timedelta(minutes=rng.randrange(0, 540))
        return min(t, now)

    events = []  # (time, kind of row, plate, owner, fee, period, fen, clerk, method)
    stored = {}  # plate -> {fee: (due, paid, last payment time, clerk)}
    for i in range(count):
        plate = plate_of(i)[0]
        owner = ""  # the vehicle's own, set from the register after the insert
        fees = [("管理费", 300000)]
        if rng.random() < 0.4:
            fees.append(("审车费", 80000))
        if rng.random() < 0.3:
            fees.append(("保险费", rng.randrange(50, 121) * 10000))
        for fee, due in fees:
            opened = today - datetime.timedelta(days=rng.randrange(20, 360))
            clerk = rng.choice(CLERKS)
            due_time = moment(opened)
            events.append((due_time, "应缴", plate, owner, fee, 1, due, clerk, ""))
            r = rng.random()
            if r < 0.5:
                parts = [due]
            elif r < 0.7:
                parts = [due // 2, due - due // 2]
            elif r < 0.85:
                parts = [due // 2]
            else:
                parts = []
            day = opened
            for k, part in enumerate(parts):
                day = min(today, day + datetime.timedelta(days=rng.randrange(0, 40)))
                # A few second halves come today, so that the day's takings show something.
                if k == 1 and rng.random() < 0.15:
                    day = today
                events.append((min(now, max(moment(day), due_time + datetime.timedelta(minutes=1))), "收费", plate, owner, fee, 1, part,
                               rng.choice(CLERKS), rng.choice(METHODS)))
        if rng.random() < 0.08:
            stored[plate] = {"营运费": (rng.choice(AWKWARD), "")}
    events.sort(key=lambda e: e[0])
    # Two payments voided an hour later and taken again at once, as a clerk corrects a wrong amount.
    payments = [k for k, e in enumerate(events) if e[1] == "收费"]
    voided = set(rng.sample(payments, min(2, len(payments))))

    columns = ("ID,leixing,cheliangid,cepaihao,cezuxingming,feiyong,qijian,jine,fangshi,jiaokuanren,beizhu,"
               "shoujuhao,zuofeiid,zuofeiyuanyin,dayincishu,jingbanren,jiqi,shijian")
    rows = []
    numbers = {}
    totals = {}  # (plate, fee) -> [due, paid, last time, clerk]
    next_id = 1

    def add(kind, e, fen, when, receipt=None, voids=None, reason=""):
        nonlocal next_id
        rows.append("(%d,%s,0,%s,%s,%s,%d,%d,%s,%s,'',%s,%s,%s,%d,%s,'DEMO-PC',%s)" % (
            next_id, quote(kind), quote(e[2]), quote(e[3]), quote(e[4]), e[5], fen,
            quote(e[8]), quote(""),
            quote(receipt), "NULL" if voids is None else voids, quote(reason), 1 if kind == "收费" else 0,
            quote(e[7]), quote(when.strftime("%Y-%m-%d %H:%M:%S"))))
        next_id += 1
        return next_id - 1

    def receipt(when):
        numbers[when.year] = numbers.get(when.year, 0) + 1
        return "A%d-%06d" % (when.year, numbers[when.year])

    for k, e in enumerate(events):
        when = e[0]
        t = totals.setdefault((e[2], e[4]), [0, 0, None, ""])
        if e[1] == "应缴":
            add("应缴", e, e[6], when)
            t[0] += e[6]
            continue
        if k in voided:
            wrong = e[6] + 10000
            pid = add("收费", e, wrong, when, receipt(when))
            later = when + datetime.timedelta(minutes=5)
            add("作废", e, wrong, later, voids=pid, reason="金额输错，重新收取")
            when = later + datetime.timedelta(minutes=1)
        add("收费", e, e[6], when, receipt(when))
        t[1] += e[6]
        t[2], t[3] = when, e[7]
    for start in range(0, len(rows), 1000):
        out.write("INSERT INTO shoufeijilu (" + columns + ") VALUES\n" + ",\n".join(rows[start:start + 1000]) + ";\n")
    out.write("UPDATE shoufeijilu l JOIN celiangzongbiao v ON v.cepaihao=l.cepaihao SET l.cheliangid=v.ID,"
              "l.cezuxingming=v.cezuxingming,l.jiaokuanren=IF(l.leixing='应缴','',v.cezuxingming);\n")
    for year, n in sorted(numbers.items()):
        out.write("INSERT INTO shoujuhaoma (qianzhui,nian,xuhao) VALUES ('A',%d,%d) "
                  "ON DUPLICATE KEY UPDATE xuhao=GREATEST(xuhao,%d);\n" % (year, n, n))
    # The vehicles' columns show the open period, as the fee desk writes them.
    for (plate, fee), (due, paid, when, clerk) in sorted(totals.items()):
        c = FEE_COLUMNS[fee]
        sets = ["%s=%s" % (c[0], quote(fen_text(due))), "%s=%s" % (c[1], quote(fen_text(paid))),
                "%s=%s" % (c[2], quote(fen_text(due - paid)))]
        if when is not None:
            sets += ["%s=%s" % (c[3], quote(when.date().isoformat())), "%s=%s" % (c[4], quote(clerk))]
        out.write("UPDATE celiangzongbiao SET %s WHERE cepaihao=%s;\n" % (",".join(sets), quote(plate)))
    for plate, texts in sorted(stored.items()):
        due, paid = texts["营运费"]
        out.write("UPDATE celiangzongbiao SET yinyunzengyingjiaofei=%s,yinyunzengyijiaofei=%s WHERE cepaihao=%s;\n"
                  % (quote(due), quote(paid), quote(plate)))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("count", type=int, nargs="?", default=300)
    ap.add_argument("--seed", type=int, default=2016)
    ap.add_argument("--today", default=None)
    ap.add_argument("--batch", type=int, default=1000)
    ap.add_argument("--pictures", type=int, default=0)
    ap.add_argument("--ledger", action="store_true")
    ap.add_argument("--list-pictures", type=int, default=None)
    args = ap.parse_args()
    if args.list_pictures is not None:
        for i in range(args.list_pictures):
            for kind, _ in PICTURES:
                print("%s%s.jpg\t%s" % (plate_of(i)[0], kind, kind))
        return
    today = datetime.date.fromisoformat(args.today) if args.today else datetime.date.today()
    rng = random.Random(args.seed)
    out = sys.stdout
    out.write("SET NAMES utf8mb4;\nSET autocommit=0;\n")
    head = "INSERT INTO celiangzongbiao (" + ",".join(COLUMNS) + ") VALUES\n"
    for start in range(0, args.count, args.batch):
        rows = [row(i, rng, today) for i in range(start, min(start + args.batch, args.count))]
        out.write(head + ",\n".join(rows) + ";\n")
    for i in range(min(args.pictures, args.count)):
        plate = plate_of(i)[0]
        sets = ",".join("%s=%s" % (col, quote(plate + kind + ".jpg")) for kind, col in PICTURES)
        out.write("UPDATE celiangzongbiao SET %s WHERE cepaihao=%s;\n" % (sets, quote(plate)))
    if args.ledger:
        ledger(args.count, args.seed, today, out)
    out.write("COMMIT;\n")


if __name__ == "__main__":
    main()
