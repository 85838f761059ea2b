#!/usr/bin/env python3
"""Writes SQL that fills celiangzongbiao with a generated sample fleet.

    samplefleet.py N [--seed S] [--today YYYY-MM-DD] [--batch ROWS] [--pictures K]  > fleet.sql
    samplefleet.py --list-pictures K      (the picture files of the first K vehicles: name TAB kind)

Any N: plates and file numbers stay distinct (100 000 vehicles take about 4 s to generate and
about 5 s to load).

Owner names are Chinese, plates look like 豫H12345, phones are mobile numbers, and the watched
expiry dates spread from two years back to two years ahead of today, some NULL, so that every
colour band and every category shows. With --pictures K the first K vehicles name their ten document
pictures (plate, kind, ".jpg"); tools/stack.sh draws those files into the picture folder. The SQL is UTF-8; load it with
--default-character-set=utf8mb4 and the server stores it as GBK.
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


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("count", type=int, nargs="?", default=300)
    ap.add_argument("--seed", type=int, default=2016)
    ap.add_argument("--today", default=None)
    ap.add_argument("--batch", type=int, default=1000)
    ap.add_argument("--pictures", type=int, default=0)
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
    out.write("COMMIT;\n")


if __name__ == "__main__":
    main()
