#pragma once

#include <QString>
#include <QtGlobal>

// Amounts of money as the program reads and shows them: whole fen (hundredths of a yuan), never
// floating point.
namespace fd::money {

struct Amount {
    enum State { Empty, Read, Unreadable };
    State state = Empty;
    qint64 fen = 0; // when Read
    bool read() const { return state == Read; }
};

// Reads a fee text as people type it into the register's free-text fee columns: an optional sign,
// digits with or without thousands separators in groups of three ("1,200", "1，200"), up to two
// decimals ("1200.5" is 120050 fen), an optional "元" after it; full-width digits, signs, points
// and commas count as ASCII ones; blanks around it (ASCII, full-width, tabs) do not count. A text
// of blanks only is Empty, no amount. Anything else ("一千", "1200/年", "12.345", "1,20") is
// Unreadable: never taken for some other number.
Amount readAmount(const QString& text);

// "2850.50", "-3.05", "0.00": yuan with two decimals, no thousands separators. The one way the
// program writes an amount.
QString formatFen(qint64 fen);

// The amount in Chinese capitals as a receipt writes it (大写金额): "壹仟贰佰元整", "零元伍角",
// "壹仟零壹元伍角", "壹拾万零壹拾元整", "壹亿元整"; whole yuan end in 整, an amount with fen has
// none; a zero inside the number is written once ("壹万零伍元整"); a negative amount starts with 负.
QString capitals(qint64 fen);

} // namespace fd::money
